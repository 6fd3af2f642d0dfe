"""Round trip of thousands of random visits: imported with kelodb, exported
with ostrelin, read back by a strict decoder of its own. Every visit inside
the window comes back exactly once per listing of its user, with every field
exact, in the datastore's order; no visit outside it comes back.

The visits are random but seeded (OSTRELIN_ROUNDTRIP_SEED picks another
seed; a failure names its seed): texts of any Unicode (characters outside the
Basic Multilingual Plane, commas, quotes, line breaks, NULs), URLs up to
8 KB, zero to nine categories (named, unnamed, negative), users of the
machine's profile list and users it does not list, times on and around both
ends of the window."""

import os
import random
import unittest
from datetime import datetime, timedelta, timezone
from zoneinfo import ZoneInfo

from decoder import read_rows
from harness import (CATEGORY_NAMES, WINDOWS, TempDirTestCase, host_name, import_visits, local_text,
                     native_path, ostrelin, profiles, window_start)

SEED = int(os.environ.get("OSTRELIN_ROUNDTRIP_SEED", "20261210"))
VISITS = 3000
DAYS = 40

PIECES = ["a", "b", "z", "0", "9", "/", "?", "=", "&", "%", ".", ":", "-", "~", " ", "\t",
          ",", ",", '"', '"', '""', "\n", "\r\n", "\r", "\\", "'",
          "\u00e9", "\u00df", "\u4e2d", "\u0416", "\u05d0", "\u0627", "\ufeff", "\ufffd", "\u2028",
          "\U0001F600", "\U0001F4A9", "\U00010000", "\U0010FFFF", "\U0002A6D6", "\0"]
CATEGORY_POOL = list(CATEGORY_NAMES) + [8, 25, 43, 51, 66, 79, 99, 101, 999, 1002, -1,
                                         -2147483648, 2147483647]


def random_text(rng, length):
    return "".join(rng.choice(PIECES) if rng.random() < 0.6 else rng.choice("abcdefghij")
                   for _ in range(length))


def random_url(rng):
    roll = rng.random()
    if roll < 0.02:
        length = rng.randint(6000, 8190)  # up to 8 KB of mostly ASCII
    elif roll < 0.1:
        length = rng.randint(200, 1200)
    else:
        length = rng.randint(0, 60)
    return "https://" + random_text(rng, length) if rng.random() < 0.9 else random_text(rng, length)


class RoundTripTest(TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.rng = random.Random(SEED)
        self.machine = profiles()
        self.datastore = self.path("datastore.db")

    def make_visits(self, now):
        rng = self.rng
        start = window_start(now, DAYS)
        ms = timedelta(milliseconds=1)
        present = sorted({sid for sid, _ in self.machine})[:4]
        absent = ["S-1-22-1-%d" % rng.randint(70000, 79999) for _ in range(3)] + \
            ["S-1-5-21-\u00e9\U0001F600", "S,1\"2"]
        # On and around both ends, and spread over the window and beyond it.
        edges = [start - ms, start, start + ms, start + timedelta(milliseconds=499),
                 start + timedelta(milliseconds=500), start - timedelta(days=1),
                 now - timedelta(minutes=2), now + timedelta(minutes=2), now + timedelta(days=3)]
        span = (now - start + timedelta(days=4)).total_seconds()
        visits = []
        for index in range(VISITS):
            sid = rng.choice(present) if rng.random() < 0.75 else rng.choice(absent)
            if rng.random() < 0.2:
                moment = rng.choice(edges)
            elif rng.random() < 0.1 and visits:
                moment = rng.choice(visits)[2]  # a tie with an earlier visit
            else:
                moment = start - timedelta(days=2) + timedelta(seconds=rng.random() * span)
                moment = moment.replace(microsecond=moment.microsecond // 1000 * 1000)
                if now - timedelta(minutes=1) <= moment <= now + timedelta(hours=1):
                    moment += timedelta(hours=2)  # never near the export's own now
            categories = [rng.choice(CATEGORY_POOL) for _ in range(rng.randint(0, 9))]
            visits.append((sid, random_url(rng), moment, rng.random() < 0.7, categories))
        return visits

    def expected(self, visits, now, days, zone, all_users):
        start = window_start(now, days)
        # Import order breaks ties of time, as the datastore keeps them.
        inside = [(v, i) for i, v in enumerate(visits) if start <= v[2] <= now]
        ordered = [v for v, _ in sorted(inside, key=lambda pair: (pair[0][2], pair[1]))]
        if all_users:
            groups = [(sid, "ALL") for sid in sorted({v[0] for v in ordered})]
        else:
            groups = self.machine
        rows = []
        for sid, label in groups:
            for sid_, url, moment, allowed, categories in ordered:
                if sid_ != sid:
                    continue
                names = [CATEGORY_NAMES.get(number, "") for number in categories][:5]
                rows.append([host_name(), local_text(moment, zone), url.split("\0", 1)[0], label,
                             "ALLOWED" if allowed else "DENIED"] +
                            names + [""] * (5 - len(names)) + [""])
        return rows

    def export(self, option, zone_name):
        target = self.path("report.csv")
        if os.path.exists(target):
            os.remove(target)
        before = datetime.now(timezone.utc)
        # At most two arguments: -a goes without -d: (365 days).
        result = ostrelin([option, "-o:" + native_path(target)], self.datastore,
                          env={"TZ": zone_name})
        after = datetime.now(timezone.utc)
        self.assertEqual(result.code, 0, result.stdout + result.stderr)
        self.assertIn("Proccess finished ok with output : ", result.stdout)
        return read_rows(target), before, after

    def check(self, rows, expected):
        for number, (got, want) in enumerate(zip(rows, expected)):
            self.assertEqual(got, want, "row %d differs (seed %d)" % (number + 1, SEED))
        self.assertEqual(len(rows), len(expected), "rows missing or extra (seed %d)" % SEED)

    def test_random_visits_come_back_exactly(self):
        now = datetime.now(timezone.utc)
        now = now.replace(microsecond=now.microsecond // 1000 * 1000)
        visits = self.make_visits(now)
        import_visits(self, self.datastore, visits)
        inside_once = 0
        # Offsets of a quarter and a half hour where the zone data allows them.
        zones = ("Asia/Tokyo", "America/New_York") if WINDOWS else \
            ("Asia/Kathmandu", "America/St_Johns")
        for option, days, zone_name in (("-d:%d" % DAYS, DAYS, "UTC"), ("-a", 365, zones[0]),
                                        ("-d:%d" % DAYS, DAYS, zones[1])):
            with self.subTest(option=option, zone=zone_name):
                rows, before, after = self.export(option, zone_name)
                if window_start(before, days) != window_start(after, days):
                    self.skipTest("the window moved at midnight UTC during the export")
                # The program's now lies between the two; no visit lies there.
                expected = self.expected(visits, before, days, ZoneInfo(zone_name),
                                         option == "-a")
                self.check(rows, expected)
                if option != "-a":
                    inside_once = len(expected)
        # The test means something: many visits inside, many outside.
        self.assertGreater(inside_once, VISITS // 4)
        self.assertLess(inside_once, VISITS)


if __name__ == "__main__":
    unittest.main()
