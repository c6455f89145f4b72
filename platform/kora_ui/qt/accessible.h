// What screen readers are told about the host's widgets beyond what Qt infers: the window is a
// frame, titles are headings, segments are radio buttons in a named group, meters are progress bars
// without actions (their level is their value text, not an adjustable value), images have names, the
// crop area says its rectangle, a chosen choice is selected, and a notice is an alert.
#pragma once

#include <QString>

class QWidget;

namespace kora_ui::qt::accessible {

enum class Role { frame, heading, radio, group, alert, meter, image, crop, choice, combo };

// The property a widget keeps its spoken value in (a crop area's rectangle).
inline constexpr const char* kValueProperty = "kora_accessible_value";

// Gives `widget` that role (installing the toolkit's accessibility factory on first use).
void set_role(QWidget* widget, Role role);
// Tells assistive technology that the notice `banner` just appeared.
void announce_alert(QWidget* banner);
// Tells assistive technology that `widget`'s spoken value changed.
void announce_value(QWidget* widget);
// Makes `button` a choice of a set that is chosen (`selected`) or not.
void set_selected(QWidget* button, bool selected);
// What a screen reader is given for `widget` and what it holds, one line an object, indented by depth:
// role, "name", = value, (description), [states], {actions}. Unnamed plain containers (which readers
// pass over) and hidden objects are left out, their children shown in their place.
[[nodiscard]] QString dump_tree(QWidget* widget);

}  // namespace kora_ui::qt::accessible
