#!/usr/bin/python3
# The screen reader of screenreader_test.sh: finds krt-host on the AT-SPI
# bus, waits for the cancellation screen's grids, walks the whole tree and
# asks every grid for each child's row and column extents, for cells, headers
# and selection one past each end, and for each child's index in its parent.
# Every text it meets (the branch and store edits among them) is read word by
# word and sentence by sentence, the caret's end included, as readers do
# after each key typed.
# Exits 1 when the host stops answering or the screen's grids are missing.
import sys
import time

import pyatspi
from gi.repository import GLib

GONE = ("no longer exists", "disconnected", "Did not receive a reply")


def gone(error):
    return any(text in str(error) for text in GONE)


def ask(call, *args):
    """One request; None when the host refused it, raises when it is gone."""
    try:
        return call(*args)
    except GLib.GError as e:
        if gone(e):
            raise
        return None
    except (NotImplementedError, LookupError):
        return None


def find_host():
    for _ in range(300):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "krt-host":
                return app
        time.sleep(0.1)
    return None


BOUNDARIES = (pyatspi.TEXT_BOUNDARY_CHAR, pyatspi.TEXT_BOUNDARY_WORD_START,
              pyatspi.TEXT_BOUNDARY_SENTENCE_START, pyatspi.TEXT_BOUNDARY_LINE_START)


def read_text(node, texts):
    text = ask(node.queryText)
    if text is None:
        return
    count = text.characterCount
    if count > 0:
        texts.append(node)
    for offset in range(count + 1):
        for boundary in BOUNDARIES:
            ask(text.getTextAtOffset, offset, boundary)
            ask(text.getTextBeforeOffset, offset, boundary)
            ask(text.getTextAfterOffset, offset, boundary)


def walk(node, tables, seen=0, texts=None):
    seen += 1
    ask(lambda: (node.name, node.getRoleName(), node.getState(), node.description))
    if texts is not None:
        read_text(node, texts)
    if ask(node.getRoleName) == "table":
        tables.append(node)
        return seen  # its cells are read by read_table
    for i in range(ask(lambda: node.childCount) or 0):
        child = ask(node.getChildAtIndex, i)
        if child is not None:
            seen = walk(child, tables, seen, texts)
    return seen


def read_table(node):
    table = node.queryTable()
    rows, columns = table.nRows, table.nColumns
    children = node.childCount
    for i in range(children):
        ask(table.getRowColumnExtentsAtIndex, i)
        child = ask(node.getChildAtIndex, i)
        if child is not None and ask(child.getIndexInParent) != i:
            print("child %d of a table says it is child %s" % (i, child.getIndexInParent()))
            return False
    for r in range(-1, rows + 1):
        ask(table.getRowHeader, r)
        ask(table.getRowDescription, r)
        for c in range(-1, columns + 1):
            ask(table.isSelected, r, c)
            ask(table.getRowExtentAt, r, c)
            ask(table.getColumnExtentAt, r, c)
            ask(table.getIndexAt, r, c)
            ask(table.getAccessibleAt, r, c)
    for c in range(-1, columns + 1):
        ask(table.getColumnHeader, c)
    return True


def main():
    host = find_host()
    if host is None:
        print("krt-host never appeared on the accessibility bus")
        return 1
    try:
        # The screen is open once its six grids are in the tree.
        for _ in range(300):
            tables = []
            seen = walk(host, tables)
            if len(tables) >= 6:
                break
            time.sleep(0.1)
        ok = all([read_table(t) for t in tables])
        texts = []
        walk(host, [], 0, texts)
        again = []
        walk(host, again)
    except GLib.GError as e:
        print("the host stopped answering: %s" % e)
        return 1
    print("read %d accessibles, %d grids and %d texts" % (seen, len(tables), len(texts)))
    if not texts:
        print("no text with characters was read: the branch edit holds its code")
        return 1
    if len(tables) < 6 or len(again) != len(tables):
        print("expected the screen's six grids, found %d then %d" % (len(tables), len(again)))
        return 1
    return 0 if ok else 1


sys.exit(main())
