"""A run's console, exit code and report file, on empty and missing datastores."""

import os
import re
import unittest

from harness import (HEADER, TempDirTestCase, host_name, kelodb, native_path, ostrelin,
                     read_report, separator)

OK = "Proccess finished ok with output : "
ERRORS = "Proccess finished whith errors\n"
HEADER_BYTES = b"\xff\xfe" + HEADER.encode("utf-16-le")


class RunTest(TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.datastore = self.path("datastore.db")
        self.assertEqual(kelodb(["init"], self.datastore).code, 0)

    def test_directory_argument_gets_default_name_after_a_doubled_separator(self):
        out = self.path("out") + os.sep
        os.mkdir(out)
        result = ostrelin(["-o:" + native_path(out)], self.datastore)
        self.assertEqual(result.code, 0, result.stdout)
        self.assertTrue(result.stdout.startswith("Helper created \n" + OK), result.stdout)
        printed = result.stdout[len("Helper created \n" + OK):]
        pattern = re.escape(native_path(out) + separator() + host_name()) + \
            r"_\d{5,8}_\d{6}_URLs\.csv\n$"
        self.assertRegex(printed, pattern)
        reports = os.listdir(out)
        self.assertEqual(len(reports), 1)
        with open(os.path.join(out, reports[0]), "rb") as file:
            self.assertEqual(file.read(), HEADER_BYTES)
        self.assertEqual(len(HEADER_BYTES), 180)

    def test_missing_nested_directories_are_created(self):
        target = os.path.join(self.dir, "a", "b", "c", "r.csv")
        result = ostrelin(["-o:" + native_path(target)], self.datastore)
        self.assertEqual(result.code, 0, result.stdout)
        self.assertEqual(read_report(target), [])
        expected = native_path(os.path.dirname(target)) + separator() + separator() + "r.csv"
        self.assertTrue(result.stdout.endswith(OK + expected + "\n"), result.stdout)

    def test_bare_name_lands_in_current_directory(self):
        result = ostrelin(["-o:r.csv", "-d:30"], self.datastore, cwd=self.dir)
        self.assertEqual(result.code, 0, result.stdout)
        self.assertTrue(os.path.isfile(self.path("r.csv")))

    def test_existing_directory_as_report_path_fails(self):
        os.mkdir(self.path("taken"))
        target = native_path(self.path("taken"))
        result = ostrelin(["-o:" + target], self.datastore)
        self.assertEqual(result.code, 1)
        shown = native_path(self.dir) + separator() + separator() + "taken"
        self.assertEqual(result.stdout,
                         "Helper created \nFailure opening " + shown + " file" + ERRORS)

    def test_existing_report_is_replaced(self):
        target = self.path("r.csv")
        with open(target, "wb") as file:
            file.write(b"old content that is longer than a header" * 20)
        result = ostrelin(["-o:" + native_path(target)], self.datastore)
        self.assertEqual(result.code, 0, result.stdout)
        with open(target, "rb") as file:
            self.assertEqual(file.read(), HEADER_BYTES)

    def test_missing_datastore_writes_header_and_reports_errors(self):
        target = self.path("r.csv")
        result = ostrelin(["-o:" + native_path(target)], self.path("nothing-here.db"))
        self.assertEqual(result.stdout, "Helper not created" + ERRORS)
        self.assertEqual(result.code, 1)
        with open(target, "rb") as file:
            self.assertEqual(file.read(), HEADER_BYTES)


if __name__ == "__main__":
    unittest.main()
