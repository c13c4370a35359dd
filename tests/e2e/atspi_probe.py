#!/usr/bin/python3
"""What a screen reader finds in a running program, through the accessibility bus.

  atspi_probe.py tree PID OUT      the tree of the program's windows into OUT; prints each control of
                                   an interactive role that has no name, one per line
  atspi_probe.py press PID NAME    the first action of the first control named NAME
  atspi_probe.py focused PID       the role and name of the focused control
  atspi_probe.py read PID NAME     what a reader says for the control named NAME
Exit code 0 on success, 1 when the program or the control is not found.
"""
import sys

import pyatspi

CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON,
    pyatspi.ROLE_SLIDER, pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_TABLE, pyatspi.ROLE_PAGE_TAB,
    pyatspi.ROLE_PAGE_TAB_LIST, pyatspi.ROLE_COMBO_BOX,
}


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            continue
    return None


def walk(node, depth=0):
    yield node, depth
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def states(node):
    s = node.getState()
    return [pyatspi.stateToString(x) for x in s.getStates()]


def value_of(node):
    try:
        v = node.queryValue()
        return "value=%g min=%g max=%g" % (v.currentValue, v.minimumValue, v.maximumValue)
    except NotImplementedError:
        return ""


def line(node):
    parts = [node.getRoleName(), repr(node.name)]
    if node.description:
        parts.append("desc=" + repr(node.description))
    value = value_of(node)
    if value:
        parts.append(value)
    interesting = sorted(s for s in states(node) if s in ("focused", "focusable", "checked", "pressed", "selected"))
    if "enabled" not in states(node):
        interesting.append("disabled")
    if interesting:
        parts.append("[" + " ".join(interesting) + "]")
    return " ".join(parts)


def find(app, name):
    for node, _ in walk(app):
        if node.name == name and "showing" in states(node):
            return node
    return None


def main(argv):
    command, pid = argv[1], int(argv[2])
    app = application(pid)
    if app is None:
        print("no program with process id %d on the accessibility bus" % pid)
        return 1
    if command == "tree":
        with open(argv[3], "w", encoding="utf-8") as out:
            for node, depth in walk(app):
                out.write("  " * depth + line(node) + "\n")
                if node.getRole() in CONTROL_ROLES and not node.name.strip() and "showing" in states(node):
                    print("unnamed " + line(node))
        return 0
    if command == "press":
        node = find(app, argv[3])
        if node is None:
            print("no control named " + repr(argv[3]))
            return 1
        node.queryAction().doAction(0)
        return 0
    if command == "focused":
        for node, _ in walk(app):
            if "focused" in states(node):
                print(node.getRoleName() + "\t" + node.name)
                return 0
        return 1
    if command == "read":
        node = find(app, argv[3])
        if node is None:
            return 1
        print(line(node))
        return 0
    print(__doc__)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
