#!/usr/bin/python3
# Prints the settings window's tree as an assistive tool sees it over AT-SPI: role, name and
# whether the element takes the keyboard focus. Exits 1 when a focusable control has no name.
import sys
import time

import pyatspi


def walk(node, depth, lines, unnamed):
    try:
        role, name, states = node.getRoleName(), node.name, node.getState()
    except Exception:
        return
    focusable = states.contains(pyatspi.STATE_FOCUSABLE)
    showing = states.contains(pyatspi.STATE_SHOWING)
    lines.append(f"{'  ' * depth}{role}: {name!r}{' [focusable]' if focusable else ''}")
    # List items and tables' parts are named by their content, which may be empty.
    if focusable and showing and not name and role not in ("list", "list item", "table cell"):
        unnamed.append(f"{role} at depth {depth}")
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child:
            walk(child, depth + 1, lines, unnamed)


def collect(node, wanted, found):
    try:
        if wanted(node):
            found.append(node)
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child:
                collect(child, wanted, found)
    except Exception:
        return


def open_every_tab(app):
    # A tab's controls may be made when the tab is first shown, as when a user opens it: each tab
    # is opened once, as a screen reader's user would, and the first one again at the end.
    tabs = []
    collect(app, lambda node: node.getRoleName() == "page tab", tabs)
    for tab in tabs[1:] + tabs[:1]:
        try:
            tab.queryAction().doAction(0)
        except Exception:
            continue
        time.sleep(0.3)


def main():
    for _ in range(100):
        desktop = pyatspi.Registry.getDesktop(0)
        apps = [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]
        apps = [a for a in apps if a and a.name == "quillon-settings"]
        if apps:
            break
        time.sleep(0.1)
    else:
        print("quillon-settings is not on the accessibility bus", file=sys.stderr)
        return 1
    lines, unnamed = [], []
    for app in apps:
        open_every_tab(app)
        walk(app, 0, lines, unnamed)
    print("\n".join(lines))
    for what in unnamed:
        print(f"no name: {what}", file=sys.stderr)
    return 1 if unnamed else 0


if __name__ == "__main__":
    sys.exit(main())
