#include "qt/accessible.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>
#include <cmath>

namespace kora_ui::qt::accessible {

namespace {

constexpr const char* kRoleProperty = "kora_accessible_role";
constexpr const char* kSelectedProperty = "kora_accessible_selected";

QAccessible::Role qt_role(Role role) {
    switch (role) {
        case Role::frame:
            return QAccessible::Window;  // a frame to AT-SPI
        case Role::heading:
            return QAccessible::Heading;
        case Role::radio:
            return QAccessible::RadioButton;
        case Role::group:
            return QAccessible::Grouping;
        case Role::alert:
            return QAccessible::AlertMessage;
        case Role::meter:
            return QAccessible::ProgressBar;
        case Role::image:
            return QAccessible::Graphic;
        case Role::crop:
            return QAccessible::Canvas;
        case Role::choice:
            return QAccessible::Button;
        case Role::combo:
            return QAccessible::ComboBox;
    }
    return QAccessible::Client;
}

class Described final : public QAccessibleWidget {
  public:
    Described(QWidget* widget, Role role) : QAccessibleWidget(widget, qt_role(role)), m_role(role) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) {
            if (auto* label = qobject_cast<QLabel*>(widget()); label && m_role == Role::heading) {
                return label->text();
            }
            if (m_role == Role::frame && !widget()->windowTitle().isEmpty()) {
                return widget()->windowTitle();
            }
            if (auto* button = qobject_cast<QAbstractButton*>(widget());
                button && widget()->accessibleName().isEmpty()) {
                return button->text();
            }
        }
        if (kind == QAccessible::Value) {
            // A level is read, never set: no value interface, whose bridges add Increase and Decrease.
            if (auto* bar = qobject_cast<QProgressBar*>(widget()); bar && m_role == Role::meter) {
                return bar->maximum() > bar->minimum()
                           ? QString::number(std::lround(100.0 * (bar->value() - bar->minimum()) /
                                                         (bar->maximum() - bar->minimum())))
                           : QString();
            }
            if (const QVariant value = widget()->property(kValueProperty); value.isValid()) {
                return value.toString();
            }
        }
        if (kind == QAccessible::Description && m_role == Role::meter) {
            // Readers without a value interface to ask hear the level here.
            const QString level = text(QAccessible::Value);
            return level.isEmpty() ? QAccessibleWidget::text(kind) : level + QStringLiteral(" %");
        }
        if (kind == QAccessible::Name && m_role == Role::combo) {
            return widget()->accessibleName();
        }
        if ((kind == QAccessible::Value || kind == QAccessible::Description) && m_role == Role::combo) {
            // The choice is also its description: AT-SPI has no value text for a drop-down.
            auto* combo = qobject_cast<QComboBox*>(widget());
            return combo ? combo->currentText() : QString();
        }
        if (kind == QAccessible::Description && m_role == Role::crop) {
            // Readers that speak no value text still hear the rectangle.
            const QString value = widget()->property(kValueProperty).toString();
            const QString help = QAccessibleWidget::text(kind);
            return value.isEmpty() ? help : value + QStringLiteral(". ") + help;
        }
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        auto state = QAccessibleWidget::state();
        if (auto* button = qobject_cast<QAbstractButton*>(widget()); button && m_role == Role::radio) {
            state.checkable = true;
            state.checked = button->isChecked();
            state.focusable = true;
            state.focused = button->hasFocus();
        }
        if (m_role == Role::choice) {
            state.selectable = true;
            state.selected = widget()->property(kSelectedProperty).toBool();
        }
        if (m_role == Role::crop) {
            state.focusable = true;
            state.focused = widget()->hasFocus();
        }
        return state;
    }

    // A meter shows a level and cannot be changed; a segment is pressed; the rest only take focus.
    QStringList actionNames() const override {
        if (m_role == Role::radio || m_role == Role::choice) {
            return {pressAction(), setFocusAction()};
        }
        if (m_role == Role::frame || m_role == Role::group) {
            return QAccessibleWidget::actionNames();
        }
        if (m_role == Role::crop) {
            return {setFocusAction()};
        }
        if (m_role == Role::combo) {
            return {showMenuAction(), setFocusAction()};
        }
        return {};
    }

    void doAction(const QString& name) override {
        if (auto* button = qobject_cast<QAbstractButton*>(widget());
            button && (m_role == Role::radio || m_role == Role::choice) && name == pressAction()) {
            button->click();
            return;
        }
        if (auto* combo = qobject_cast<QComboBox*>(widget()); combo && name == showMenuAction()) {
            combo->showPopup();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

  private:
    Role m_role;
};

QAccessibleInterface* describe(const QString&, QObject* object) {
    if (!object || !object->isWidgetType()) {
        return nullptr;
    }
    const QVariant role = object->property(kRoleProperty);
    if (!role.isValid()) {
        return nullptr;
    }
    return new Described(static_cast<QWidget*>(object), static_cast<Role>(role.toInt()));
}

QString role_name(QAccessible::Role role) {
    switch (role) {
        case QAccessible::Window:
            return QStringLiteral("frame");
        case QAccessible::Heading:
            return QStringLiteral("heading");
        case QAccessible::RadioButton:
            return QStringLiteral("radio button");
        case QAccessible::Grouping:
            return QStringLiteral("group");
        case QAccessible::AlertMessage:
            return QStringLiteral("alert");
        case QAccessible::ProgressBar:
            return QStringLiteral("progress bar");
        case QAccessible::Graphic:
            return QStringLiteral("image");
        case QAccessible::Button:
            return QStringLiteral("push button");
        case QAccessible::CheckBox:
            return QStringLiteral("check box");
        case QAccessible::ComboBox:
            return QStringLiteral("combo box");
        case QAccessible::SpinBox:
            return QStringLiteral("spin button");
        case QAccessible::StaticText:
            return QStringLiteral("label");
        case QAccessible::ScrollBar:
            return QStringLiteral("scroll bar");
        case QAccessible::Slider:
            return QStringLiteral("slider");
        case QAccessible::EditableText:
            return QStringLiteral("text");
        case QAccessible::Client:
            return QStringLiteral("filler");
        case QAccessible::Canvas:
            return QStringLiteral("canvas");
        default:
            return QStringLiteral("role %1").arg(static_cast<int>(role));
    }
}

void dump_into(QAccessibleInterface* object, int depth, QString& out) {
    if (!object || !object->isValid() || object->state().invisible) {
        return;
    }
    const QString name = object->text(QAccessible::Name);
    const bool passed_over = object->role() == QAccessible::Client && name.isEmpty() && depth > 0;
    if (!passed_over) {
        out += QString(depth * 2, QLatin1Char(' ')) + role_name(object->role());
        if (!name.isEmpty()) {
            out += QStringLiteral(" \"%1\"").arg(name);
        }
        if (auto* value = object->valueInterface()) {
            out += QStringLiteral(" = %1").arg(value->currentValue().toString());
        } else if (const QString spoken = object->text(QAccessible::Value);
                   !spoken.isEmpty() && object->role() != QAccessible::StaticText &&
                   object->role() != QAccessible::Button) {
            out += QStringLiteral(" = %1").arg(spoken);
        }
        if (const QString about = object->text(QAccessible::Description); !about.isEmpty()) {
            out += QStringLiteral(" (%1)").arg(about);
        }
        const auto state = object->state();
        QStringList states;
        if (state.checkable) {
            states << (state.checked ? QStringLiteral("checked") : QStringLiteral("not checked"));
        }
        if (state.selected) {
            states << QStringLiteral("selected");
        }
        if (state.focused) {
            states << QStringLiteral("focused");
        }
        if (state.disabled) {
            states << QStringLiteral("disabled");
        }
        if (!states.isEmpty()) {
            out += QStringLiteral(" [%1]").arg(states.join(QStringLiteral(", ")));
        }
        if (auto* actions = object->actionInterface();
            actions && !actions->actionNames().isEmpty() && object->role() != QAccessible::Window) {
            out += QStringLiteral(" {%1}").arg(actions->actionNames().join(QStringLiteral(", ")));
        }
        out += QLatin1Char('\n');
    }
    for (int i = 0; i < object->childCount(); ++i) {
        dump_into(object->child(i), passed_over ? depth : depth + 1, out);
    }
}

}  // namespace

QString dump_tree(QWidget* widget) {
    QString out;
    dump_into(QAccessible::queryAccessibleInterface(widget), 0, out);
    return out;
}

void set_role(QWidget* widget, Role role) {
    static const bool installed = [] {
        QAccessible::installFactory(describe);
        return true;
    }();
    (void)installed;
    widget->setProperty(kRoleProperty, static_cast<int>(role));
    // Qt made the widget's interface already (setting a text or a name does): it is made anew.
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget)) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}

void announce_alert(QWidget* banner) {
    QAccessibleEvent event(banner, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
}

void announce_value(QWidget* widget) {
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(widget, widget->property(kValueProperty));
        QAccessible::updateAccessibility(&event);
    }
}

void set_selected(QWidget* button, bool selected) {
    if (button->property(kSelectedProperty).toBool() == selected) {
        return;
    }
    if (!button->property(kRoleProperty).isValid()) {
        set_role(button, Role::choice);
    }
    button->setProperty(kSelectedProperty, selected);
    if (QAccessible::isActive()) {
        QAccessible::State changed;
        changed.selected = true;
        QAccessibleStateChangeEvent event(button, changed);
        QAccessible::updateAccessibility(&event);
    }
}

}  // namespace kora_ui::qt::accessible
