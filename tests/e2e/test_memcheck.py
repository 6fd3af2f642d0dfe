"""The real programs under valgrind's memcheck: no invalid access, no use of
uninitialised memory and no leak (definite, indirect or possible), on the
paths of a normal export and of its failures."""

import os
import unittest
from datetime import datetime, timedelta, timezone

from harness import (TempDirTestCase, import_visits, kelodb, native_path, ostrelin, profiles,
                     read_report, run, KELODB, user_sid)

VALGRIND = os.environ.get("OSTRELIN_VALGRIND", "")
MEMCHECK = [VALGRIND, "--quiet", "--leak-check=full",
            "--show-leak-kinds=definite,indirect,possible",
            "--errors-for-leak-kinds=definite,indirect,possible", "--error-exitcode=99"]


@unittest.skipUnless(VALGRIND, "valgrind is not given (OSTRELIN_VALGRIND)")
class MemcheckTest(TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.datastore = self.path("datastore.db")
        now = datetime.now(timezone.utc)
        sids = [sid for sid, _ in profiles()[:3]] + [user_sid(424242)]
        visits = [(sids[i % len(sids)], "https://m.example/%d?\u00e9=\U0001F600\"x\"" % i,
                   now - timedelta(hours=7 * i, milliseconds=i), i % 3 != 0,
                   list(range(i % 8)) + [1001]) for i in range(300)]
        import_visits(self, self.datastore, visits)

    def memcheck(self, args, datastore=None, expected_code=0):
        result = ostrelin(args, datastore or self.datastore, wrapper=MEMCHECK)
        self.assertNotEqual(result.code, 99, "memcheck found errors:\n" + result.stderr)
        self.assertEqual(result.code, expected_code, result.stdout + result.stderr)
        self.assertEqual(result.stderr, "")
        return result

    def test_exports_of_every_profile_and_of_all_users(self):
        for args in ([], ["-a"], ["-d:30"]):
            with self.subTest(args=args):
                target = self.path("r%d.csv" % len(args))
                self.memcheck(args + ["-o:" + native_path(target)])
                self.assertTrue(read_report(target))

    def test_failing_runs(self):
        os.mkdir(self.path("taken"))
        cases = [
            ("no datastore", ["-o:" + native_path(self.path("a.csv"))], self.path("none.db"), 1),
            ("report path is a directory", ["-o:" + native_path(self.path("taken"))], None, 1),
            ("usage text", ["-x"], None, 0),
            ("directories made", ["-o:" + native_path(self.path("n", "m")) + os.sep], None, 0),
        ]
        for what, args, datastore, code in cases:
            with self.subTest(what):
                self.memcheck(args, datastore, code)

    def test_kelodb_import_of_good_and_bad_lines(self):
        good = ('{"user":"S-1","url":"u\U0001F600","time":"2026-01-01T00:00:00Z",'
                '"allowed":true,"categories":[1,2]}\n')
        for lines, code in ((good * 50, 0), (good + "{bad\n", 2)):
            with self.subTest(code=code):
                result = run(KELODB, ["import", "--db", self.path("k.db"), "-"],
                             stdin=lines.encode("utf-8"), wrapper=MEMCHECK)
                self.assertNotEqual(result.code, 99, result.stderr)
                self.assertEqual(result.code, code, result.stderr)


if __name__ == "__main__":
    unittest.main()
