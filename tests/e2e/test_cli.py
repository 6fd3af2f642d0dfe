"""The command line: usage text and refused arguments."""

import os
import unittest

from harness import OSTRELIN, WINDOWS, TempDirTestCase, ostrelin, run

USAGE = (
    "Ostrelin [-d:nDays] [-o:Filepath] [-h]\n"
    "\t-d:nDays    : Allows user to get urls from nDays ago until now.\n"
    "\t              If no days are specified, urls from last 365 days will be showed\n"
    "\t-o:Filepath : Allows user to save data on the specified path and file.\n"
    "\t              Paths should end with '\\' character\n"
    "\t              If no filename is supplied a default one will be used\n"
    "\t-h          : Shows this help\n"
)


class UsageTest(TempDirTestCase):
    def test_usage_for_help_and_refused_arguments(self):
        cases = [["-h"], ["-help"], ["-x"], ["-d:0"], ["-d:"], ["-d:abc"], ["-o:"], ["-D:5"],
                 ["-d:1", "-o:x", "-a"], ["-a", "-h"], ["-d:0", "-d:5"], ["-d:5", "-x"],
                 ["-o:r\u00e9sum\u00e9.csv", "-h"]]
        if WINDOWS:
            # The option rules are the core's, tested in-process; under Wine,
            # where a start costs seconds, one case of each kind.
            cases = [["-h"], ["-x"], ["-d:0"], ["-d:1", "-o:x", "-a"],
                     ["-o:r\u00e9sum\u00e9.csv", "-h"]]
        for args in cases:
            with self.subTest(args=args):
                result = ostrelin(args, self.path("missing.db"), cwd=self.dir)
                self.assertEqual(result.code, 0)
                self.assertEqual(result.stdout, USAGE)
                self.assertEqual(os.listdir(self.dir), [], "no report is written")

    def test_program_starts_from_another_directory(self):
        result = run(OSTRELIN, ["-h"], cwd=self.dir)
        self.assertEqual(result.stdout, USAGE)


if __name__ == "__main__":
    unittest.main()
