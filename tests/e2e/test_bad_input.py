"""Bad input, end to end: each case has its defined answer (console, exit
code, report), nothing crashes, and no export changes the datastore: its
file's checksum is the same before and after every run.

Malformed profile names are not here: the POSIX profile list is the user
database, whose every entry becomes S-1-22-1-<uid>, so no malformed name can
reach the program; the core's run tests hand it such names through the fake
platform."""

import os
import shutil
import sqlite3
import subprocess
import unittest
from datetime import datetime, timedelta, timezone

from test_cli import USAGE
from harness import (HEADER, WINDOWS, TempDirTestCase, import_visits, native_path, ostrelin,
                     profiles, read_report, separator)

OK = "Proccess finished ok with output : "
ERRORS = "Proccess finished whith errors\n"
HEADER_BYTES = b"\xff\xfe" + HEADER.encode("utf-16-le")
NOT_A_DATASTORE = "Helper created \nDatastore object creation failure\nQuery for user ALL failed"
# POSIX: a name of at most 255 bytes, a path of at most 4096.
LONGEST_NAME = 255
PATH_MAX = 4096


def checksum(path):
    """The file's SHA-256, read by another process: closing a file in this
    one would drop the SQLite locks a test's writer connection holds on it
    (POSIX record locks belong to the process)."""
    if not os.path.exists(path):
        return None
    return subprocess.run(["sha256sum", path], check=True, stdout=subprocess.PIPE,
                          text=True).stdout.split()[0]


class BadInputTest(TempDirTestCase):
    def setUp(self):
        super().setUp()
        self.datastore = self.path("datastore.db")
        now = datetime.now(timezone.utc)
        self.root_sid = profiles()[0][0]
        import_visits(self, self.datastore,
                      [(self.root_sid, "https://v.example/%d" % i, now - timedelta(hours=i), True,
                        [42]) for i in range(20)])

    def export(self, args, datastore=None, cwd=None):
        """Runs the program, the datastore's checksum checked around it."""
        datastore = datastore or self.datastore
        before = checksum(datastore)
        result = ostrelin(args, datastore, cwd=cwd)
        self.assertEqual(checksum(datastore), before, "the export changed the datastore")
        self.assertNotIn(result.code, (-6, -11, 134, 139), "crashed: " + result.stderr)
        return result

    def shown(self, directory, name):
        """The path the program prints: directory, doubled separator, name."""
        return native_path(directory) + separator() + separator() + name

    def test_arguments(self):
        out = self.path("out")
        os.mkdir(out)
        quoted = 'a "quoted", report.csv'
        unicode_name = "r\u00e9p\u00f6rt-\u4e2d-\U0001F600.csv"
        cases = [
            # (what, arguments, exit code, console, report file or None)
            ("over-long day count is clamped and finds every visit",
             ["-d:" + "9" * 5000, "-o:" + os.path.join(out, "d.csv")], 0,
             "Helper created \n" + OK + self.shown(out, "d.csv") + "\n", "d.csv"),
            ("over-long negative day count looks into the future",
             ["-d:-" + "9" * 5000, "-o:" + os.path.join(out, "e.csv")], 0,
             "Helper created \n" + OK + self.shown(out, "e.csv") + "\n", "e.csv"),
            ("non-ASCII day count", ["-d:\u0663\u0660"], 0, USAGE, None),
            ("quote-laden unknown argument", ['-"x",y"'], 0, USAGE, None),
            # Windows' command line holds at most 32767 characters.
            ("over-long unknown argument", ["-" + "x" * (30_000 if WINDOWS else 100_000)], 0,
             USAGE, None),
            ("non-ASCII report name",
             ["-o:" + os.path.join(out, unicode_name)], 0,
             "Helper created \n" + OK + self.shown(out, unicode_name) + "\n", unicode_name),
            # Windows refuses a double quote in a file name; POSIX takes it.
            ("quote-laden report name", ["-o:" + os.path.join(out, quoted)], 1,
             "Helper created \nFailure opening " + self.shown(out, quoted) + " file" + ERRORS,
             None) if WINDOWS else
            ("quote-laden report name", ["-o:" + os.path.join(out, quoted)], 0,
             "Helper created \n" + OK + self.shown(out, quoted) + "\n", quoted),
            ("a name over the longest one",
             ["-o:" + os.path.join(out, "n" * (LONGEST_NAME + 1))], 1,
             "Helper created \nFailure opening " + self.shown(out, "n" * (LONGEST_NAME + 1)) +
             " file" + ERRORS, None),
        ]
        for what, args, code, console, report in cases:
            with self.subTest(what):
                result = self.export(["-o:" + native_path(a[3:]) if a.startswith("-o:") else a
                                      for a in args])
                self.assertEqual(result.code, code, result.stdout + result.stderr)
                self.assertEqual(result.stdout, console)
                self.assertEqual(result.stderr, "")
                if report is not None:
                    rows = read_report(os.path.join(out, report))
                    self.assertEqual(len(rows), 0 if "future" in what else 20)

    def test_report_paths(self):
        existing = self.path("taken")
        os.mkdir(existing)
        # Directories of 200 characters, enough of them to pass the path limit.
        level = "L" * 200
        deep = os.path.join(self.dir, *([level] * (PATH_MAX // len(level) + 1)), "r.csv")
        cases = [
            ("an existing directory", existing, "Helper created \nFailure opening " +
             self.shown(self.dir, "taken") + " file" + ERRORS),
            ("a path over the platform's limit", deep, None),
        ]
        if WINDOWS:
            # A drive that does not exist: nothing can be made, so the value
            # stays and the name follows it once more.
            cases.append(("a missing drive", "Q:\\nodrive\\r.csv", "Helper created \nFailure "
                          "opening Q:\\nodrive\\r.csv\\r.csv file" + ERRORS))
        for what, target, console in cases:
            with self.subTest(what):
                value = target if target.startswith("Q:") else native_path(target)
                result = self.export(["-o:" + value])
                self.assertEqual(result.code, 1, result.stdout)
                self.assertTrue(result.stdout.endswith(" file" + ERRORS), result.stdout)
                if console is not None:
                    self.assertEqual(result.stdout, console)
                self.assertFalse(os.path.isfile(target))

    def test_read_only_directory(self):
        if os.geteuid() == 0:
            # Root writes into a directory whatever its mode; /proc refuses new
            # files to everyone, root included.
            parent = "/proc"
        else:
            parent = self.path("locked")
            os.mkdir(parent)
            os.chmod(parent, 0o555)
            self.addCleanup(os.chmod, parent, 0o755)
        for what, value, printed in (
                ("a file in it", os.path.join(parent, "r.csv"), self.shown(parent, "r.csv")),
                # Its subdirectory cannot be made: the value and the name again.
                ("a directory to make in it", os.path.join(parent, "new", "r.csv"),
                 native_path(os.path.join(parent, "new", "r.csv")) + separator() + "r.csv")):
            with self.subTest(what):
                result = self.export(["-o:" + native_path(value)])
                self.assertEqual(result.code, 1, result.stdout)
                self.assertEqual(result.stdout,
                                 "Helper created \nFailure opening " + printed + " file" + ERRORS)
                self.assertFalse(os.path.exists(os.path.join(parent, "new")))

    def bad_datastores(self):
        """(what, path) of files in the datastore's place that are none."""
        made = []

        def file_of(name, data):
            path = self.path(name)
            with open(path, "wb") as file:
                file.write(data)
            made.append((name, path))

        file_of("empty", b"")
        file_of("not a database", b"hello, not a database\n" * 100)
        file_of("random bytes", os.urandom(8192))
        with sqlite3.connect(self.datastore) as database:
            database.execute("PRAGMA wal_checkpoint(TRUNCATE)")
        for name, keep in (("truncated to half", 0.5), ("truncated to its first page", None)):
            path = self.path(name.replace(" ", "-") + ".db")
            shutil.copy(self.datastore, path)
            size = os.path.getsize(path)
            os.truncate(path, int(size * keep) if keep else 4096)
            made.append((name, path))
        for name, setup in (
                ("unknown schema version", "PRAGMA application_id = 1262832719; "
                                           "PRAGMA user_version = 2; CREATE TABLE t (x);"),
                ("another program's database", "CREATE TABLE visits (x); INSERT INTO visits VALUES (1);"),
                ("marked, but without tables", "PRAGMA application_id = 1262832719; "
                                               "PRAGMA user_version = 1; CREATE TABLE t (x);")):
            path = self.path(name.replace(" ", "-").replace("'", "") + ".db")
            with sqlite3.connect(path) as database:
                database.executescript(setup)
            made.append((name, path))
        return made

    def test_datastores_that_are_none(self):
        report = self.path("r.csv")
        for what, path in self.bad_datastores():
            with self.subTest(what):
                result = self.export(["-a", "-o:" + native_path(report)], datastore=path)
                self.assertEqual(result.code, 1)
                self.assertEqual(result.stdout, NOT_A_DATASTORE + ERRORS)
                with open(report, "rb") as file:
                    self.assertEqual(file.read(), HEADER_BYTES)

    def test_missing_datastore(self):
        report = self.path("r.csv")
        result = self.export(["-o:" + native_path(report)], datastore=self.path("none.db"))
        self.assertEqual((result.code, result.stdout), (1, "Helper not created" + ERRORS))
        self.assertFalse(os.path.exists(self.path("none.db")))
        with open(report, "rb") as file:
            self.assertEqual(file.read(), HEADER_BYTES)

    @unittest.skipIf(WINDOWS, "the test's writer is native SQLite, whose locks and shared "
                              "memory the program under Wine does not share")
    def test_writer_holding_a_transaction(self):
        """A writer in the middle of its transaction: the export reads what
        is committed and nothing of the rest."""
        report = self.path("r.csv")
        writer = sqlite3.connect(self.datastore, isolation_level=None)
        self.addCleanup(writer.close)
        writer.execute("BEGIN IMMEDIATE")
        writer.execute("INSERT INTO visits (user_id, time_ms, allowed, url, categories) "
                       "SELECT user_id, time_ms, allowed, 'https://uncommitted/', '' FROM visits")
        result = self.export(["-a", "-o:" + native_path(report)])
        writer.execute("ROLLBACK")
        self.assertEqual(result.code, 0, result.stdout)
        rows = read_report(report)
        self.assertEqual(len(rows), 20)
        self.assertFalse([row for row in rows if "uncommitted" in row[2]])

    @unittest.skipIf(WINDOWS, "the test's writer is native SQLite, whose locks the program "
                              "under Wine does not see")
    def test_writer_locking_a_rollback_journal_datastore(self):
        """A datastore switched to a rollback journal and locked by a writer:
        the library waits its while, then the query fails."""
        report = self.path("r.csv")
        writer = sqlite3.connect(self.datastore, isolation_level=None)
        self.addCleanup(writer.close)
        self.assertEqual(writer.execute("PRAGMA journal_mode = DELETE").fetchone(), ("delete",))
        writer.execute("BEGIN EXCLUSIVE")
        writer.execute("DELETE FROM visits")
        result = self.export(["-a", "-o:" + native_path(report)])
        writer.execute("ROLLBACK")
        self.assertEqual(result.code, 1)
        self.assertEqual(result.stdout, NOT_A_DATASTORE + ERRORS)
        with sqlite3.connect(self.datastore) as database:
            self.assertEqual(database.execute("SELECT count(*) FROM visits").fetchone(), (20,))


READ_ONLY_MOUNT = ("unshare", "--mount", "sh", "-c", 'mount --bind -o ro "$0" "$0" && exec "$@"')


@unittest.skipIf(WINDOWS, "a read-only folder under Wine, which runs as root, is writable")
class ReadOnlyMediaTest(TempDirTestCase):
    """A datastore on media that cannot take SQLite's -shm file: as root, a
    read-only bind mount in a mount namespace of its own; otherwise a folder
    without write permission."""

    def make_media(self, name):
        """A new folder holding a closed datastore of 20 visits."""
        self.root_sid = profiles()[0][0]
        self.now = datetime.now(timezone.utc)
        self.media = self.path(name, "media")
        os.makedirs(self.media)
        self.datastore = os.path.join(self.media, "datastore.db")
        import_visits(self, self.datastore,
                      [(self.root_sid, "https://main.example/%d" % i,
                        self.now - timedelta(hours=i + 1), True, [42]) for i in range(20)])

    def add_to_wal_and_copy(self, copy_shm):
        """Copies the datastore while a writer keeps 5 more visits in its -wal
        only, as a backup taken while the product runs."""
        source = os.path.join(os.path.dirname(self.media), "live")
        os.mkdir(source)
        live = os.path.join(source, "datastore.db")
        shutil.copy(self.datastore, live)
        writer = sqlite3.connect(live, isolation_level=None)
        self.addCleanup(writer.close)
        writer.execute("PRAGMA wal_autocheckpoint = 0")
        for i in range(5):
            writer.execute("INSERT INTO visits (user_id, time_ms, allowed, url, categories) "
                           "SELECT id, ?, 1, ?, '' FROM users WHERE sid = ?",
                           (int(self.now.timestamp() * 1000) - 60_000, "https://wal.example/%d" % i,
                            self.root_sid))
        for suffix in ("-wal", "-shm") if copy_shm else ("-wal",):
            shutil.copy(live + suffix, self.datastore + suffix)

    def copy_in_a_rollback_transaction(self):
        """Copies the datastore, switched to a rollback journal, while a
        writer's transaction has rewritten its pages but not committed: the
        copy has a hot journal that read-only media cannot roll back."""
        source = os.path.join(os.path.dirname(self.media), "live")
        os.mkdir(source)
        live = os.path.join(source, "datastore.db")
        shutil.copy(self.datastore, live)
        writer = sqlite3.connect(live, isolation_level=None)
        self.addCleanup(writer.close)
        writer.execute("PRAGMA journal_mode = DELETE")
        # A cache of one page spills the changed pages into the file itself.
        writer.execute("PRAGMA cache_size = 1")
        writer.execute("BEGIN")
        writer.execute("UPDATE visits SET url = 'https://torn.example/' || id || "
                       "substr(hex(zeroblob(2000)), 1, 4000)")
        os.remove(self.datastore)
        for suffix in ("", "-journal"):
            shutil.copy(live + suffix, self.datastore + suffix)
        writer.execute("ROLLBACK")

    def export(self):
        out = os.path.join(os.path.dirname(self.media), "out")
        os.mkdir(out)
        report = os.path.join(out, "r.csv")
        before = {name: checksum(os.path.join(self.media, name))
                  for name in sorted(os.listdir(self.media))}
        if os.geteuid() == 0:
            result = ostrelin(["-a", "-o:" + report], self.datastore,
                              wrapper=READ_ONLY_MOUNT + (self.media,))
        else:
            os.chmod(self.media, 0o555)
            try:
                result = ostrelin(["-a", "-o:" + report], self.datastore)
            finally:
                os.chmod(self.media, 0o755)
        after = {name: checksum(os.path.join(self.media, name))
                 for name in sorted(os.listdir(self.media))}
        self.assertEqual(after, before, "the media changed")
        return result, report

    def test_every_committed_visit_or_a_failure(self):
        for case, (what, prepare, code, main_rows, wal_rows) in enumerate((
                ("closed datastore, no -wal or -shm", lambda: None, 0, 20, 0),
                ("an empty -wal beside it",
                 lambda: open(self.datastore + "-wal", "wb").close(), 0, 20, 0),
                ("copied with commits in its -wal, and its -shm",
                 lambda: self.add_to_wal_and_copy(True), 0, 20, 5),
                # The -wal's commits cannot be read without a -shm: no report
                # that leaves them out is called complete.
                ("copied with commits in its -wal, without its -shm",
                 lambda: self.add_to_wal_and_copy(False), 1, 0, 0),
                # Never the half-written pages of a transaction.
                ("copied with a hot rollback journal",
                 self.copy_in_a_rollback_transaction, 1, 0, 0))):
            with self.subTest(what):
                self.make_media("case%d" % case)
                prepare()
                result, report = self.export()
                self.assertEqual(result.code, code, result.stdout + result.stderr)
                rows = read_report(report)
                urls = [row[2] for row in rows]
                self.assertEqual(len([u for u in urls if u.startswith("https://main.")]),
                                 main_rows)
                self.assertEqual(len([u for u in urls if u.startswith("https://wal.")]), wal_rows)
                self.assertFalse([u for u in urls if u.startswith("https://torn.")])
                if code == 1:
                    self.assertEqual(result.stdout, NOT_A_DATASTORE + ERRORS)


if __name__ == "__main__":
    unittest.main()
