#!/usr/bin/env python3
"""Shows what changed in a PFF archive, from two `dfmod pff list --json` listings.

    pff_changes.py BEFORE.json AFTER.json

Prints the header fields that changed, then every directory record that changed or is
new, before and after side by side, and what the change was: a new entry appended, an
entry replaced (its old data left behind as dead space), dead space reused whole or its
tail, dead space left behind. Times are the archive's local times.
"""
import datetime
import json
import sys

DEAD = "<DEAD SPACE>"
EPOCH = datetime.datetime(1969, 12, 31, 19, 0, 0)  # the timestamps' zero, local time
COLUMNS = "%-14s %9s %6s  %-19s"


def cell(record):
    if record is None:
        return COLUMNS % ("", "", "", "")
    when = (EPOCH + datetime.timedelta(seconds=record["timestamp"])).strftime("%Y-%m-%d %H:%M:%S")
    return COLUMNS % (record["name"], record["offset"], record["size"], when)


def is_dead(record):
    return record["dead"] == 1


def holder(offset, before):
    """The index of the dead-space record of `before` whose space holds `offset`."""
    for i, r in enumerate(before["entries"]):
        if is_dead(r) and r["offset"] <= offset < r["offset"] + r["size"]:
            return i
    return None


def change(i, old, new, before):
    if old is None:
        spot = holder(new["offset"], before)
        where = ("in the tail of the dead space of record %d" % spot if spot is not None
                 else "data at the end of the data area; the directory moved behind it")
        return "new entry appended: " + where
    if not is_dead(old) and is_dead(new):
        if new["size"] < old["size"]:
            return "entry replaced: its space became dead space, whose tail took new data"
        return "entry replaced: its old data is left behind as dead space"
    if is_dead(old) and not is_dead(new):
        return "dead space reused whole by %s" % new["name"]
    if is_dead(old) and is_dead(new):
        return "dead space: its tail reused, %d bytes left behind" % new["size"]
    return "entry replaced in place"


def main(before_path, after_path):
    with open(before_path) as f:
        before = json.load(f)
    with open(after_path) as f:
        after = json.load(f)
    for key in ("file_count", "directory_offset"):
        if before[key] != after[key]:
            print("%s: %d -> %d" % (key, before[key], after[key]))
    old_entries = before["entries"]
    print("%6s | %-52s | %-52s | %s" % ("record", "before", "after", "change"))
    print("%6s | %s | %s |" % ("", COLUMNS % ("name", "offset", "size", "modified"),
                               COLUMNS % ("name", "offset", "size", "modified")))
    for i, new in enumerate(after["entries"]):
        old = old_entries[i] if i < len(old_entries) else None
        if old == new:
            continue
        print("%6d | %s | %s | %s" % (i, cell(old), cell(new), change(i, old, new, before)))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
