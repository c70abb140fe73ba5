#!/usr/bin/env python3
"""The event-log check's selection, as one would write it in Python: the
system event log records with one of the adapter drivers' event IDs whose
message names one of their driver files, one line each."""

import json
import re
import sys

SELECTED = {9, 11, 15, 26, 50, 51}
DRIVERS = ("zelk412.sys", "qvtmpdrv.sys")
LEADING_NUMBER = re.compile(r"\s*([+-]?\d+)")


def plain(value):
    """The value of a typed value such as {"uint32": 15}."""
    if isinstance(value, dict):
        return next(iter(value.values()), None)
    return value


def main():
    with open(sys.argv[1], encoding="utf-8") as inventory:
        records = json.load(inventory)["classes"].get("QELSG_WindowsSystemEventLogRecord", [])
    out = sys.stdout
    for record in records if isinstance(records, list) else []:
        event_id = plain(record.get("EventID"))
        if event_id is None:
            continue
        if isinstance(event_id, int):
            event = event_id
        else:
            match = LEADING_NUMBER.match(str(event_id))
            event = int(match.group(1)) if match else 0
        if event not in SELECTED:
            continue
        message = plain(record.get("Message"))
        if message is None:
            continue
        text = str(message)
        driver = next((name for name in DRIVERS if name in text.split("\0", 1)[0]), None)
        if driver:
            out.write("Tarvex: Found in system event log a message with event id %d associated "
                      "with %s, the message reads %s\n" % (event, driver, text))


if __name__ == "__main__":
    main()
