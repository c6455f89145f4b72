#!/usr/bin/python3
"""What a screen reader hears over AT-SPI, surface by surface: each is opened in the real program on
the display and accessibility bus this runs with (atspi_test.sh makes both), its accessible tree is
dumped as atspi_dump.py prints it, and the points readers rely on are checked.
Usage: atspi_test.py PRESSWICK [DUMP_DIR]"""
import os
import re
import subprocess
import sys
import time

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import atspi_dump  # noqa: E402

failures = []


def check(surface, condition, what, tree):
    if not condition:
        failures.append("%s: %s\n%s" % (surface, what, tree))


def find(node, role, name):
    if node is None:
        return None
    if node.getRoleName() == role and node.name == name:
        return node
    for i in range(node.childCount):
        found = find(node.getChildAtIndex(i), role, name)
        if found is not None:
            return found
    return None


def dump_of(app):
    app.clear_cache()  # names and states as they are now, not as first asked
    out = []
    for i in range(app.childCount):
        atspi_dump.dump(app.getChildAtIndex(i), 0, out)
    return "\n".join(out)


def open_surface(program, surface):
    process = subprocess.Popen([program, "--surface", surface], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    app = atspi_dump.application("presswick")
    time.sleep(0.8)  # cards realized after the first frame join the tree when the host is idle
    return process, app


def close(process):
    process.terminate()
    process.wait(10)
    # The registry lets an application go a moment after it left the bus.
    deadline = time.monotonic() + 5
    while atspi_dump.application("presswick", 0.1) is not None and time.monotonic() < deadline:
        time.sleep(0.1)


def common_points(surface, tree):
    check(surface, not re.search(r"progress bar[^\n]*\{", tree), "a progress bar offers actions", tree)
    check(surface, not re.search(r"^\s*scroll bar( =| \{|$)", tree, re.M), "a scroll bar without a name", tree)
    check(surface, "slider" not in tree, "something is announced as a slider", tree)
    check(surface, not re.search(r"\(Printing now\)|\(Needs attention\)|\(Waiting to print\)", tree),
          "a button described by a panel heading", tree)


def main():
    program = sys.argv[1]
    dumps = sys.argv[2] if len(sys.argv) > 2 else None
    pyatspi.Registry.getDesktop(0)  # the registry is up before the first window asks for it
    for surface in ("active", "queue", "device", "print", "scan", "scan-result"):
        process, app = open_surface(program, surface)
        if app is None:
            failures.append("%s: the window never reached the accessibility bus" % surface)
            process.kill()
            continue
        tree = dump_of(app)
        if dumps:
            with open(os.path.join(dumps, surface + ".txt"), "w") as out:
                out.write(tree + "\n")
        common_points(surface, tree)
        if surface == "active":
            check(surface, 'push button "Cancel" (Travel itinerary.pdf)' in tree,
                  "Cancel is not described by its document", tree)
            check(surface, 'push button "Open" (Studio printer)' in tree, "Open does not name its printer", tree)
            check(surface, re.search(r'^\s*scroll bar "Presswick"', tree, re.M) is not None,
                  "the page's scroll bar is not named after the page", tree)
        else:
            check(surface, 'push button "Back to Presswick"' in tree, "no back control announced as such", tree)
        if surface == "queue":
            check(surface, 'push button "Cancel" (Travel itinerary.pdf)' in tree,
                  "Cancel is not described by its document", tree)
        if surface == "device":
            check(surface, "(Printer controls)" not in tree, "a control described by its panel's heading", tree)
        if surface == "print":
            check(surface, re.search(r'combo box "Printer" [^\n]*\(Studio printer', tree) is not None,
                  "the printer drop-down is not named Printer, with its choice", tree)
        if surface == "scan":
            # Choosing the scanner through AT-SPI: its button says so in words and in its state.
            scanner = find(app, "push button", "Studio scanner")
            check(surface, scanner is not None, "no scanner to choose", tree)
            if scanner is not None:
                scanner.queryAction().doAction(0)
                time.sleep(1.0)
                chosen = dump_of(app)
                if dumps:
                    with open(os.path.join(dumps, "scan-chosen.txt"), "w") as out:
                        out.write(chosen + "\n")
                check(surface, re.search(r'push button "Selected: Studio scanner"[^\n]*\[selected\][^\n]*\{Press', chosen) is not None,
                      "the chosen scanner is not announced as selected", chosen)
        if surface == "scan-result":
            crop = re.search(r'^\s*(\S+) "Crop area"[^\n(]*\(([^)]*)\)', tree, re.M)
            check(surface, crop is not None and crop.group(1) != "filler", "the crop area is not a named control",
                  tree)
            check(surface, crop is not None and re.search(r"Left \d+ %, top \d+ %, right \d+ %, bottom \d+ %",
                                                          crop.group(2)) is not None,
                  "the crop area does not say its rectangle", tree)
            strip = [name for name in re.findall(r'push button "([^"]+)"', tree)
                     if name in ("Previous page", "Next page", "Move before previous page", "Move after next page",
                                 "Remove this page")]
            check(surface, strip and strip[-1] == "Remove this page", "the page strip is out of reading order", tree)
            # The back control answers a reader's press like a click: the dashboard shows.
            back = find(app, "push button", "Back to Presswick")
            if back is not None:
                back.queryAction().doAction(0)
                time.sleep(1.0)
                check(surface, find(app, "push button", "Print a document") is not None,
                      "pressing the back control through AT-SPI did not go back", dump_of(app))
        close(process)
    for failure in failures:
        print("FAIL " + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
