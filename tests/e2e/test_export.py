"""Exports of a filled datastore, read back by Python's own CSV reader."""

import os
import shutil
import tempfile
import time
import unittest
from datetime import datetime, timedelta, timezone
from zoneinfo import ZoneInfo

from harness import (WINDOWS, TempDirTestCase, expected_row, host_name, import_visits, native_path,
                     ostrelin, profiles, read_report, separator, user_sid,
                     window_start)

STRANGER = user_sid(424242)  # in the datastore, but no profile of this machine


def all_users_order(sids):
    """The order in which the datastore lists users in an answer for "ALL"."""
    return sorted(sids)


class ExportTest(TempDirTestCase):
    @classmethod
    def setUpClass(cls):
        # The standard datastore is filled once and only read by the tests
        # (a program start costs seconds under Wine).
        cls._shared = tempfile.TemporaryDirectory(prefix="ostrelin-e2e-")
        cls._standard = None

    @classmethod
    def tearDownClass(cls):
        cls._shared.cleanup()

    def setUp(self):
        super().setUp()
        self.now = datetime.now(timezone.utc).replace(microsecond=0)
        self.machine = profiles()
        self.root_sid, self.root_label = self.machine[0]
        self.other_sid, self.other_label = self.machine[1]
        self.datastore = self.path("datastore.db")

    def fill(self, visits):
        import_visits(self, self.datastore, visits)
        self.visits = visits

    def fill_standard(self):
        """The standard visits, around the time the first test using them began."""
        cls = type(self)
        if cls._standard is None:
            datastore = os.path.join(cls._shared.name, "standard.db")
            visits = self.standard_visits()
            import_visits(self, datastore, visits)
            cls._standard = (self.now, visits, datastore)
        self.now, self.visits, self.datastore = cls._standard

    def export(self, args=(), zone="UTC"):
        target = self.path("report.csv")
        result = ostrelin(list(args) + ["-o:" + native_path(target)], self.datastore,
                          env={"TZ": zone})
        self.assertEqual(result.code, 0, result.stdout)
        shown = native_path(self.dir) + separator() + separator() + "report.csv"
        self.assertEqual(result.stdout,
                         "Helper created \nProccess finished ok with output : " + shown + "\n")
        return read_report(target)

    def expected(self, days, zone, all_users=False):
        start = window_start(self.now, days)
        inside = [v for v in self.visits if start <= v[2] <= self.now]
        rows = []
        if all_users:
            for sid in all_users_order({v[0] for v in inside}):
                for v in sorted((v for v in inside if v[0] == sid), key=lambda v: v[2]):
                    rows.append(expected_row(host_name(), "ALL", v[1], v[2], v[3], v[4], zone))
        else:
            for sid, label in self.machine:
                for v in sorted((v for v in inside if v[0] == sid), key=lambda v: v[2]):
                    rows.append(expected_row(host_name(), label, v[1], v[2], v[3], v[4], zone))
        return rows

    def standard_visits(self):
        now = self.now
        start = window_start(now, 365)
        ms = timedelta(milliseconds=1)
        return [
            (self.root_sid, "https://news.example.org/world?id=7", now - timedelta(hours=2, milliseconds=250), True, [27]),
            (self.root_sid, "https://a.example/x?a=1,b=2", now - timedelta(days=3, milliseconds=750), False, [42, 8, 1]),
            (self.root_sid, 'https://q.example/say "hi"', now - timedelta(days=10), True, []),
            (self.root_sid, "https://e.example/\U0001F600/caf\u00e9", now - timedelta(days=40), True, [1, 2, 3, 4, 5, 6, 7]),
            (self.root_sid, "https://n.example/line\nbreak", now - timedelta(days=100), True, [1000, 1001]),
            (self.root_sid, "https://z.example/before\0after", now - timedelta(days=200), False, [0]),
            (self.root_sid, "https://edge.example/first", start, True, [100]),
            (self.root_sid, "https://edge.example/too-old", start - ms, True, [100]),
            (self.root_sid, "https://old.example/", now - timedelta(days=400), True, [5]),
            (self.root_sid, "https://future.example/", now + timedelta(days=2), True, [5]),
            (self.other_sid, "https://mail.example.com/inbox", now - timedelta(days=1, hours=5), True, [48]),
            (self.other_sid, "https://shop.example.com/cart", now - timedelta(days=20), False, [38, 25]),
            (STRANGER, "https://elsewhere.example/", now - timedelta(days=5), True, [11]),
        ]

    def test_profiles_each_get_their_visits_in_the_window(self):
        self.fill_standard()
        self.assertEqual(self.export(), self.expected(365, timezone.utc))

    def test_all_users_are_one_query_labelled_all(self):
        self.fill_standard()
        self.assertEqual(self.export(["-a"]), self.expected(365, timezone.utc, all_users=True))

    def test_day_counts_narrow_the_window(self):
        self.fill_standard()
        for days in (1, 30, 150):
            with self.subTest(days=days):
                self.assertEqual(self.export(["-d:%d" % days]),
                                 self.expected(days, timezone.utc))

    def test_negative_day_count_finds_nothing_before_now(self):
        self.fill_standard()
        self.assertEqual(self.export(["-d:-5"]), [])

    def test_date_text_follows_the_time_zone(self):
        self.fill_standard()
        for zone in ("America/New_York", "Asia/Tokyo", "Europe/Berlin"):
            with self.subTest(zone=zone):
                self.assertEqual(self.export(zone=zone), self.expected(365, ZoneInfo(zone)))

    def test_many_visits_of_many_users(self):
        visits = []
        for index in range(3000):
            sid = (self.root_sid, self.other_sid, STRANGER)[index % 3]
            moment = self.now - timedelta(minutes=7 * index + 1, milliseconds=250)
            visits.append((sid, "https://site%d.example/p?q=%d" % (index % 97, index), moment,
                           index % 5 != 0, [index % 80, (index * 7) % 1002][: index % 3]))
        self.fill(visits)
        self.assertEqual(self.export(["-d:20"]), self.expected(20, timezone.utc))
        self.assertEqual(self.export(["-a"]), self.expected(365, timezone.utc, all_users=True))


@unittest.skipIf(WINDOWS, "the clock is set with libfaketime, which Wine's programs do not use")
class RepeatedHourTest(TempDirTestCase):
    """The clock in the hour a fall-back change repeats, on its second pass:
    the window still ends now, so the last visits are in the report."""

    def test_every_visit_up_to_now_is_exported(self):
        self.assertTrue(shutil.which("faketime"), "scripts/install-deps posix installs faketime")
        sid, _ = profiles()[0]
        # libfaketime is preloaded ahead of the sanitizer's runtime.
        asan_options = ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"),
                                              "verify_asan_link_order=0"]))
        for zone, clock in (
                # 01:30 EST, after 01:30 EDT an hour before.
                ("America/New_York", datetime(2026, 11, 1, 6, 30, tzinfo=timezone.utc)),
                # 02:30 CET, after 02:30 CEST an hour before.
                ("Europe/Berlin", datetime(2025, 10, 26, 1, 30, tzinfo=timezone.utc))):
            with self.subTest(zone):
                datastore = self.path(zone.replace("/", "-") + ".db")
                moments = [clock - timedelta(minutes=minutes) for minutes in (80, 40, 10)]
                import_visits(self, datastore, [(sid, "https://v.example/%d" % i, moment, True,
                                                 [42]) for i, moment in enumerate(moments)])
                report = self.path(zone.replace("/", "-") + ".csv")
                offset = int(clock.timestamp() - time.time())
                result = ostrelin(["-d:1", "-o:" + report], datastore,
                                  env={"TZ": zone, "ASAN_OPTIONS": asan_options},
                                  wrapper=("faketime", "-f", "%+ds" % offset))
                self.assertEqual(result.code, 0, result.stdout + result.stderr)
                self.assertEqual([row[2] for row in read_report(report)],
                                 ["https://v.example/%d" % i for i in range(3)])


if __name__ == "__main__":
    unittest.main()
