#include "gui/qt/qt_form.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QTextDocument>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "gui/qt/utf8.h"

namespace corvane {

namespace {

// A text box's lines end in LF inside the widget and in CR LF outside.
QString ToWidgetText(std::string_view text) {
  QString result = FromUtf8(text);
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return result;
}

std::string FromWidgetText(QString text) {
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return text.toStdString();
}

// A label that reports a click of the left mouse button released over it.
class FormLabel final : public QLabel {
 public:
  using QLabel::QLabel;
  std::function<void()> on_click;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        on_click) {
      on_click();
    }
  }
};

// A push button that Enter and Return press too, like Space, while it has
// the focus.
class FormButton final : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
      click();
      return;
    }
    QPushButton::keyPressEvent(event);
  }
};

// The font of forms and controls that set none: the classic dialog font
// that such forms are laid out for.
const FontDescription kDialogFont{.face = "MS Sans Serif", .point_size = 8, .weight = 400};

// Pixels between a text box's frame and its text.
constexpr qreal kTextBoxMargin = 2;

// Plain sans-serif faces to stand in for the classic dialog faces, best
// match first: metric twins of Arial, whose widths are close to the
// classic face's, then DejaVu Sans, which fontconfig brings everywhere,
// then other common faces. Nimbus Sans (which comes with Ghostscript) has
// lines a quarter taller than the others, too tall for a box laid out for
// the classic face; it is taken only where it fits.
const char* const kSansSerifFaces[] = {
    "Microsoft Sans Serif", "Liberation Sans", "Arimo",       "Arial", "Helvetica",
    "DejaVu Sans",          "FreeSans",        "Nimbus Sans",
};

QFont FontFor(const QString& face, const FontDescription& font) {
  QFont result(face);
  result.setPointSizeF(font.point_size);
  result.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight, 1, 1000)));
  result.setItalic(font.italic);
  result.setUnderline(font.underline);
  result.setStrikeOut(font.strike_out);
  return result;
}

// True when every line of `lines` fits into the width of `room` on `device`.
// Blanks at the end of a line do not count: they may run past the edge.
bool FitsWidth(const QFont& font, const QStringList& lines, QSize room, const QWidget& device) {
  const QFontMetricsF metrics(font, &device);
  for (const QString& line : lines) {
    qsizetype end = line.size();
    while (end > 0 && line.at(end - 1) == QLatin1Char(' ')) --end;
    if (metrics.horizontalAdvance(line.left(end)) > room.width()) return false;
  }
  return true;
}

// True when `lines`, one below the other, fit into the height of `room`.
// Narrowing a face leaves this as it is.
bool FitsHeight(const QFont& font, const QStringList& lines, QSize room, const QWidget& device) {
  const QFontMetricsF metrics(font, &device);
  const qsizetype count = std::max<qsizetype>(lines.size(), 1);
  return (count - 1) * metrics.lineSpacing() + metrics.height() <= room.height();
}

// `font` narrowed as little as needed for `lines` to fit the width of
// `room`, or nothing when even the narrowest stretch is too wide.
std::optional<QFont> NarrowedToFit(QFont font, const QStringList& lines, QSize room,
                                   const QWidget& device) {
  for (int stretch = QFont::Unstretched - 5; stretch >= QFont::UltraCondensed; stretch -= 5) {
    font.setStretch(stretch);
    if (FitsWidth(font, lines, room, device)) return font;
  }
  return std::nullopt;
}

// The lines of a caption or of a text box's content; a line end after the
// last line starts no further line.
QStringList LinesOf(const QString& text) {
  QStringList lines = text.split(QLatin1Char('\n'));
  if (lines.size() > 1 && lines.back().isEmpty()) lines.removeLast();
  return lines;
}

// The room a control has for its text.
QSize TextRoom(const QWidget& widget) {
  if (const auto* box = qobject_cast<const QPlainTextEdit*>(&widget)) {
    const int margin = static_cast<int>(std::ceil(box->document()->documentMargin()));
    return box->contentsRect().size() - QSize(2 * margin, 2 * margin);
  }
  return widget.size();
}

}  // namespace

std::unique_ptr<QApplication> CreateApplication(int& argc, char** argv) {
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
      Qt::HighDpiScaleFactorRoundingPolicy::RoundPreferFloor);
  return std::make_unique<QApplication>(argc, argv);
}

QFont ResolveFont(const FontDescription& font, const QString& text, QSize room,
                  const QWidget& device) {
  const QString described = FromUtf8(font.face);
  if (QFontDatabase::hasFamily(described)) return FontFor(described, font);
  const QStringList lines = LinesOf(text);
  std::vector<QFont> installed;
  for (const char* face : kSansSerifFaces) {
    const QString name = QString::fromLatin1(face);
    if (QFontDatabase::hasFamily(name)) installed.push_back(FontFor(name, font));
  }
  // A face in which the text fits as it is.
  for (const QFont& candidate : installed) {
    if (FitsWidth(candidate, lines, room, device) && FitsHeight(candidate, lines, room, device)) {
      return candidate;
    }
  }
  // Else the first whose lines are low enough, narrowed as little as needed:
  // narrowing cannot help a face whose lines are too tall, and would only
  // end in a much narrower face of its family.
  for (const QFont& candidate : installed) {
    if (!FitsHeight(candidate, lines, room, device)) continue;
    if (std::optional<QFont> narrowed = NarrowedToFit(candidate, lines, room, device)) {
      return *narrowed;
    }
  }
  // None fits: the first of them (or the system's sans-serif face) as it is,
  // so that size and weight stay as described.
  if (!installed.empty()) return installed.front();
  QFont fallback = FontFor(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family(), font);
  fallback.setStyleHint(QFont::SansSerif);
  return fallback;
}

QtForm::QtForm(const FormDescription& form) : window_(std::make_unique<QWidget>()) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    dpi_x_ = screen->logicalDotsPerInchX();
    dpi_y_ = screen->logicalDotsPerInchY();
  }
  const auto x = [this](int twips) { return TwipsToPixels(twips, dpi_x_); };
  const auto y = [this](int twips) { return TwipsToPixels(twips, dpi_y_); };

  QWidget& window = *window_;
  window.setObjectName(FromUtf8(form.name));
  window.setWindowTitle(FromUtf8(form.title));
  window.resize(x(form.client_width), y(form.client_height));

  std::vector<const ControlDescription*> in_tab_order;
  for (const ControlDescription& description : form.controls) {
    in_tab_order.push_back(&description);
  }
  std::stable_sort(in_tab_order.begin(), in_tab_order.end(),
                   [](const auto* a, const auto* b) { return a->tab_index < b->tab_index; });

  QWidget* previous_focusable = nullptr;
  for (const ControlDescription* description : in_tab_order) {
    const std::string name = description->name;
    const QString text = FromUtf8(description->text);
    QWidget* widget = nullptr;
    switch (description->kind) {
      case ControlKind::kLabel: {
        auto* label = new FormLabel(text, &window);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
        label->on_click = [this, name] { Deliver(name, FormEvent::kClick); };
        widget = label;
        break;
      }
      case ControlKind::kPushButton: {
        auto* button = new FormButton(text, &window);
        connections_.push_back(QObject::connect(
            button, &QPushButton::clicked, [this, name] { Deliver(name, FormEvent::kClick); }));
        widget = button;
        break;
      }
      case ControlKind::kTextBox: {
        auto* box = new QPlainTextEdit(&window);
        box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box->setTabChangesFocus(true);
        box->document()->setDocumentMargin(kTextBoxMargin);
        box->setPlainText(ToWidgetText(description->text));
        // Filling the box is no change: only what differs from this is.
        text_box_contents_[name] = box->toPlainText();
        connections_.push_back(QObject::connect(box, &QPlainTextEdit::textChanged,
                                                [this, name] { TextBoxEdited(name); }));
        widget = box;
        break;
      }
    }
    widget->setObjectName(FromUtf8(name));
    widget->setGeometry(x(description->left), y(description->top), x(description->width),
                        y(description->height));
    widget->setFont(ResolveFont(description->font.value_or(form.font.value_or(kDialogFont)),
                                ToWidgetText(description->text), TextRoom(*widget), *widget));
    widget->setVisible(description->visible);
    if (widget->focusPolicy() != Qt::NoFocus) {
      if (previous_focusable != nullptr) QWidget::setTabOrder(previous_focusable, widget);
      previous_focusable = widget;
    }
    controls_.emplace(name, widget);
  }
}

QtForm::~QtForm() {
  // Taking the widgets down reports nothing.
  events_ = nullptr;
  for (const QMetaObject::Connection& connection : connections_) QObject::disconnect(connection);
  for (auto& [name, widget] : controls_) {
    if (auto* label = dynamic_cast<FormLabel*>(widget)) label->on_click = nullptr;
  }
}

void QtForm::Show() {
  for (QWidget* widget = window_->nextInFocusChain(); widget != window_.get();
       widget = widget->nextInFocusChain()) {
    if (widget->isVisibleTo(window_.get()) && widget->isEnabled() &&
        (widget->focusPolicy() & Qt::TabFocus) != 0) {
      widget->setFocus(Qt::OtherFocusReason);
      break;
    }
  }
  window_->showNormal();
}

QWidget* QtForm::control(std::string_view name) const {
  const auto it = controls_.find(name);
  return it == controls_.end() ? nullptr : it->second;
}

void QtForm::SetText(std::string_view control, std::string_view text) {
  auto* box = qobject_cast<QPlainTextEdit*>(this->control(control));
  if (box == nullptr) return;
  const QString content = ToWidgetText(text);
  // Setting the content the box has would still be reported by the
  // widget; it is no change.
  if (box->toPlainText() == content) return;
  box->setPlainText(content);
}

std::string QtForm::Text(std::string_view control) const {
  const auto* box = qobject_cast<const QPlainTextEdit*>(this->control(control));
  return box == nullptr ? std::string() : FromWidgetText(box->toPlainText());
}

void QtForm::Deliver(const std::string& control, FormEvent event) {
  if (events_ != nullptr) events_->Handle(control, event);
}

void QtForm::TextBoxEdited(const std::string& control) {
  const auto* box = qobject_cast<const QPlainTextEdit*>(this->control(control));
  QString content = box->toPlainText();
  QString& known = text_box_contents_[control];
  // Selecting, moving the caret and copying change nothing.
  if (content == known) return;
  known = std::move(content);
  Deliver(control, FormEvent::kChange);
}

}  // namespace corvane
