#!/usr/bin/python3
"""What a screen reader finds in the Presswick window over AT-SPI: prints the accessible tree of the
first application named presswick, one object a line (role "name" = value (description) [states]
{actions}), indented by depth. Nameless fillers and panels are passed over, their children shown in
their place. Waits up to 20 s for the window to appear."""
import sys
import time

import pyatspi


def application(name, seconds=20.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and name.lower() in (app.name or "").lower() and app.childCount > 0:
                return app
        time.sleep(0.2)
    return None


def value_of(node):
    try:
        value = node.queryValue()
    except NotImplementedError:
        return None
    return value.currentValue


def actions_of(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def line(node, depth):
    role = node.getRoleName()
    out = "  " * depth + role
    if node.name:
        out += ' "%s"' % node.name
    value = value_of(node)
    if value is not None:
        out += " = %g" % value
    if node.description:
        out += " (%s)" % node.description
    states = node.getState()
    shown = []
    if states.contains(pyatspi.STATE_CHECKABLE) or role in ("radio button", "check box", "toggle button"):
        shown.append("checked" if states.contains(pyatspi.STATE_CHECKED) else "not checked")
    if states.contains(pyatspi.STATE_SELECTED):
        shown.append("selected")
    if states.contains(pyatspi.STATE_FOCUSED):
        shown.append("focused")
    if not states.contains(pyatspi.STATE_ENABLED):
        shown.append("disabled")
    if shown:
        out += " [%s]" % ", ".join(shown)
    names = actions_of(node)
    if names and role not in ("frame", "application"):
        out += " {%s}" % ", ".join(names)
    return out


def dump(node, depth, out):
    if node is None:
        return
    states = node.getState()
    if not states.contains(pyatspi.STATE_SHOWING) and depth > 1:
        return
    passed_over = node.getRoleName() in ("filler", "panel") and not node.name and depth > 0
    if not passed_over:
        out.append(line(node, depth))
    for i in range(node.childCount):
        dump(node.getChildAtIndex(i), depth if passed_over else depth + 1, out)


def main():
    app = application(sys.argv[1] if len(sys.argv) > 1 else "presswick")
    if app is None:
        print("no accessible application appeared", file=sys.stderr)
        return 1
    time.sleep(0.5)
    out = []
    for i in range(app.childCount):
        dump(app.getChildAtIndex(i), 0, out)
    print("\n".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
