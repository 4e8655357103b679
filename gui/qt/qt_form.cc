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

#include "gui/font_choice.h"
#include "gui/qt/accessible_form.h"
#include "gui/qt/utf8.h"
#include "gui/tab_order.h"
#include "gui/text_box_content.h"

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

// `face` at the described size and weight, at `stretch` percent of its
// natural width.
QFont FontFor(const QString& face, const FontDescription& font, int stretch = 100) {
  QFont result(face);
  if (stretch != 100) result.setStretch(stretch);
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

// Measures the faces for one control's text on the control itself, for its
// resolution.
class QtFaceMeasure final : public FaceMeasure {
 public:
  QtFaceMeasure(const FontDescription& font, const QString& text, QSize room, const QWidget& device)
      : font_(font), lines_(LinesOf(text)), room_(room), device_(device) {}

  bool Installed(std::string_view face) const override {
    return QFontDatabase::hasFamily(FromUtf8(face));
  }
  bool FitsWidth(std::string_view face, int stretch) const override {
    return corvane::FitsWidth(FontFor(FromUtf8(face), font_, stretch), lines_, room_, device_);
  }
  bool FitsHeight(std::string_view face) const override {
    return corvane::FitsHeight(FontFor(FromUtf8(face), font_), lines_, room_, device_);
  }

 private:
  const FontDescription& font_;
  QStringList lines_;
  QSize room_;
  const QWidget& device_;
};

}  // namespace

std::unique_ptr<QApplication> CreateApplication(int& argc, char** argv) {
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
      Qt::HighDpiScaleFactorRoundingPolicy::RoundPreferFloor);
  return std::make_unique<QApplication>(argc, argv);
}

QFont ResolveFont(const FontDescription& font, const QString& text, QSize room,
                  const QWidget& device) {
  const FaceChoice choice = ChooseFace(font.face, QtFaceMeasure(font, text, room, device));
  if (!choice.face.empty()) return FontFor(FromUtf8(choice.face), font, choice.stretch);
  // No face of the list is installed: the system's own, as a sans-serif
  // face, so that size and weight stay as described.
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
  ExposeAsFormWindow(window);
  window.setObjectName(FromUtf8(form.name));
  window.setWindowTitle(FromUtf8(form.title));
  window.setAccessibleDescription(FromUtf8(form.accessible_description));
  window.resize(x(form.client_width), y(form.client_height));

  QWidget* previous_focusable = nullptr;
  for (const ControlDescription* description : InTabOrder(form)) {
    const std::string name = description->name;
    const QString text = FromUtf8(description->text);
    QWidget* widget = nullptr;
    switch (description->kind) {
      case ControlKind::kLabel: {
        auto* label = new FormLabel(text, &window);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
        label->on_click = [this, name] { Deliver(name, FormEvent::kClick); };
        if (description->heading) ExposeAsHeading(*label);
        widget = label;
        break;
      }
      case ControlKind::kPushButton: {
        auto* button = new FormButton(text, &window);
        connect(button, &QPushButton::clicked, this,
                [this, name] { Deliver(name, FormEvent::kClick); });
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
        text_box_contents_.emplace(name, box->toPlainText());
        connect(box, &QPlainTextEdit::textChanged, this, [this, name] { TextBoxEdited(name); });
        widget = box;
        break;
      }
    }
    widget->setObjectName(FromUtf8(name));
    if (!description->accessible_name.empty()) {
      widget->setAccessibleName(FromUtf8(description->accessible_name));
    }
    widget->setGeometry(x(description->left), y(description->top), x(description->width),
                        y(description->height));
    widget->setFont(ResolveFont(description->font.value_or(form.font.value_or(kDialogFont)),
                                ToWidgetText(description->text), TextRoom(*widget), *widget));
    widget->setVisible(description->visible);
    if (TakesFocus(description->kind)) {
      if (previous_focusable != nullptr) QWidget::setTabOrder(previous_focusable, widget);
      previous_focusable = widget;
    }
    controls_.emplace(name, widget);
  }
}

QtForm::~QtForm() {
  // Taking the widgets down reports nothing; the connections go with them.
  events_ = nullptr;
  window_.reset();
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
  // The widget would report even the content it has as changed.
  if (!TextBoxContent<QString>::IsChange(box->toPlainText(), content)) return;
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
  const auto known = text_box_contents_.find(control);
  if (box == nullptr || known == text_box_contents_.end()) return;
  if (known->second.Changed(box->toPlainText())) Deliver(control, FormEvent::kChange);
}

}  // namespace corvane
