#!/usr/bin/env python3
"""Writes tests/core/data/datetime_extras_table.txt: reference calendar
arithmetic with carry, days left in the year and weekdays from Python's
datetime module (proleptic Gregorian calendar, years 1 to 9999).

Rows, whitespace-separated; a date-time is "Y M D h m s ms" with month and
day 1-based:
  days     Y M D  N  Y' M' D'             the date plus N days
  hours    DATETIME  A  DATETIME'         plus floor(A) hours (A may be fractional)
  minutes  DATETIME  A  DATETIME'         plus floor(A) minutes
  seconds  DATETIME  A  DATETIME'         plus floor(A) seconds
  millis   DATETIME  N  DATETIME'         plus N milliseconds
  left     Y M D  L                       days of that year after the date
  weekday  Y M D  W                       0 = Sunday .. 6 = Saturday

Usage: python3 scripts/make_datetime_extras_table.py
"""

import datetime as dt
import math
import os
import random


def dtext(t):
    return "%d %d %d %d %d %d %d" % (t.year, t.month, t.day, t.hour, t.minute, t.second,
                                     t.microsecond // 1000)


def random_datetime(rng):
    d = dt.date(1, 1, 1) + dt.timedelta(days=rng.randrange(365 * 9990))
    return dt.datetime(d.year, d.month, d.day, rng.randrange(24), rng.randrange(60),
                       rng.randrange(60), rng.randrange(1000) * 1000)


def main():
    rng = random.Random(20241210)
    rows = []
    for _ in range(300):
        t = random_datetime(rng)
        n = rng.choice([rng.randrange(-40, 40), rng.randrange(-3000, 3000),
                        rng.randrange(-400000, 400000)])
        try:
            r = t.date() + dt.timedelta(days=n)
        except OverflowError:
            continue
        rows.append("days %d %d %d %d %d %d %d" % (t.year, t.month, t.day, n, r.year, r.month, r.day))
    for kind, scale in (("hours", 3600), ("minutes", 60), ("seconds", 1)):
        for _ in range(150):
            t = random_datetime(rng)
            a = rng.choice([rng.randrange(-100, 100), rng.randrange(-100000, 100000)])
            a += rng.choice([0, 0.25, 0.5, 0.75])
            try:
                r = t + dt.timedelta(seconds=math.floor(a) * scale)
            except OverflowError:
                continue
            rows.append("%s %s %r %s" % (kind, dtext(t), a, dtext(r)))
    for _ in range(150):
        t = random_datetime(rng)
        n = rng.choice([rng.randrange(-3000, 3000), rng.randrange(-10 ** 9, 10 ** 9)])
        try:
            r = t + dt.timedelta(milliseconds=n)
        except OverflowError:
            continue
        rows.append("millis %s %d %s" % (dtext(t), n, dtext(r)))
    for _ in range(200):
        d = random_datetime(rng).date()
        left = (dt.date(d.year, 12, 31) - d).days
        rows.append("left %d %d %d %d" % (d.year, d.month, d.day, left))
        rows.append("weekday %d %d %d %d" % (d.year, d.month, d.day, (d.weekday() + 1) % 7))
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "core", "data",
                       "datetime_extras_table.txt")
    with open(out, "w") as f:
        f.write("\n".join(rows) + "\n")


if __name__ == "__main__":
    main()
