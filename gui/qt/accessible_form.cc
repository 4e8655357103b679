#include "gui/qt/accessible_form.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QList>
#include <QString>
#include <QVariant>
#include <QWidget>

namespace corvane {

namespace {

// The role a marked widget takes, as a QAccessible::Role.
constexpr char kRoleProperty[] = "corvaneAccessibleRole";

class FormWindowAccessible final : public QAccessibleWidget {
 public:
  explicit FormWindowAccessible(QWidget* window) : QAccessibleWidget(window, QAccessible::Window) {}

  int childCount() const override { return static_cast<int>(Controls().size()); }

  QAccessibleInterface* child(int index) const override {
    const QList<QWidget*> controls = Controls();
    if (index < 0 || index >= controls.size()) return nullptr;
    return QAccessible::queryAccessibleInterface(controls.at(index));
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    if (child == nullptr) return -1;
    return static_cast<int>(Controls().indexOf(qobject_cast<QWidget*>(child->object())));
  }

 private:
  // The controls shown with the window: a hidden one is none of its parts,
  // as it is none of what the window shows.
  QList<QWidget*> Controls() const {
    QList<QWidget*> controls;
    for (QWidget* control : widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (!control->isWindow() && !control->isHidden()) controls.append(control);
    }
    return controls;
  }
};

class HeadingAccessible final : public QAccessibleWidget {
 public:
  explicit HeadingAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::Heading) {}

  QString text(QAccessible::Text which) const override {
    if (which == QAccessible::Name && widget()->accessibleName().isEmpty()) {
      return static_cast<const QLabel*>(widget())->text();
    }
    return QAccessibleWidget::text(which);
  }
};

QAccessibleInterface* MarkedWidgetAccessible(const QString&, QObject* object) {
  const QVariant role = object->property(kRoleProperty);
  if (!role.isValid()) return nullptr;
  if (role.toInt() == QAccessible::Window) {
    if (auto* window = qobject_cast<QWidget*>(object)) return new FormWindowAccessible(window);
  } else if (role.toInt() == QAccessible::Heading) {
    if (auto* label = qobject_cast<QLabel*>(object)) return new HeadingAccessible(label);
  }
  return nullptr;
}

void Mark(QWidget& widget, QAccessible::Role role) {
  static const bool installed = [] {
    QAccessible::installFactory(&MarkedWidgetAccessible);
    return true;
  }();
  static_cast<void>(installed);
  widget.setProperty(kRoleProperty, static_cast<int>(role));
  // Qt may have built and kept the widget's interface already (a label does
  // when its text is set): it is built again, by the factory above.
  QAccessibleInterface* built = QAccessible::queryAccessibleInterface(&widget);
  if (built != nullptr && built->role() != role) {
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(built));
  }
}

}  // namespace

void ExposeAsFormWindow(QWidget& window) { Mark(window, QAccessible::Window); }

void ExposeAsHeading(QLabel& label) { Mark(label, QAccessible::Heading); }

}  // namespace corvane
