#include "accessible_controls.h"

#include <QAccessibleWidget>

#include "cell_bar_widget.h"
#include "logo_link.h"
#include "progress_cells.h"

namespace probelyn {

namespace {

// A cell bar with an accessible name is the progress bar; the nameless one is
// the track drawn under it, decoration that assistive technology skips.
class AccessibleCellBar : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit AccessibleCellBar(CellBar* bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.invisible = state.invisible || widget()->accessibleName().isEmpty();
        return state;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return QStringLiteral("%1%").arg(Bar()->Cells());
        }
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return Bar()->Cells(); }
    void setCurrentValue(const QVariant&) override {}  // shown, not set by the user
    QVariant maximumValue() const override { return kMaxCells; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

  private:
    CellBar* Bar() const { return static_cast<CellBar*>(widget()); }
};

class AccessibleLink : public QAccessibleWidget {
  public:
    explicit AccessibleLink(LogoLink* link) : QAccessibleWidget(link, QAccessible::Link) {}

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction()) {
            static_cast<LogoLink*>(widget())->Open();
        }
    }
};

QAccessibleInterface* ControlAccessibility(const QString&, QObject* object) {
    if (auto* bar = qobject_cast<CellBar*>(object)) {
        return new AccessibleCellBar(bar);
    }
    if (auto* link = qobject_cast<LogoLink*>(object)) {
        return new AccessibleLink(link);
    }
    return nullptr;
}

}  // namespace

void InstallControlAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&ControlAccessibility);
        return true;
    }();
    (void)installed;
}

}  // namespace probelyn
