"""The report file as a hostile local user would try it (POSIX): whatever sits
at the report path (a link, a dangling link, a hard link, a FIFO) is replaced,
never followed or opened; a full disk, a signal while writing or a run out of
memory leaves the old report and nothing beside it; two runs into one path
leave one whole report; the report is readable by its owner only.

Each case checks the report path, the target of any link, the folder's
listing and the exit code."""

import os
import resource
import signal
import sqlite3
import stat
import subprocess
import tempfile
import time
import unittest

from harness import (HEADER, KELODB, OSTRELIN, WINDOWS, TempDirTestCase, import_visits,
                     kelodb, ostrelin, profiles, read_report)
from datetime import datetime, timedelta, timezone

ERRORS = "Proccess finished whith errors\n"
HEADER_BYTES = b"\xff\xfe" + HEADER.encode("utf-16-le")
SANITIZED = bool(os.environ.get("OSTRELIN_SANITIZED"))
# Enough visits that writing the report takes a while even on a fast machine.
BIG_VISITS = 60_000


def listing(folder):
    return sorted(os.listdir(folder))


def read_bytes(path):
    with open(path, "rb") as file:
        return file.read()


@unittest.skipIf(WINDOWS, "POSIX file semantics; the Windows layer has its own tests")
class ReportFileTest(TempDirTestCase):
    @classmethod
    def setUpClass(cls):
        cls._shared = tempfile.TemporaryDirectory(prefix="ostrelin-e2e-")
        cls.small = os.path.join(cls._shared.name, "small.db")
        cls.big = os.path.join(cls._shared.name, "big.db")
        sid = profiles()[0][0]
        now = datetime.now(timezone.utc)
        visits = [(sid, "https://s.example/%d" % i, now - timedelta(hours=i), True, [42])
                  for i in range(20)]
        import_visits(unittest.TestCase(), cls.small, visits)
        result = kelodb(["generate", "--visits", str(BIG_VISITS), "--users", sid,
                         "--days", "30", "--seed", "5"], cls.big)
        assert result.code == 0, result.stderr
        # The reports each datastore gives, written alone.
        cls.reports = {}
        for name, datastore in (("small", cls.small), ("big", cls.big)):
            target = os.path.join(cls._shared.name, name + ".csv")
            result = ostrelin(["-a", "-o:" + target], datastore)
            assert result.code == 0, result.stdout
            cls.reports[name] = read_bytes(target)

    @classmethod
    def tearDownClass(cls):
        cls._shared.cleanup()

    def setUp(self):
        super().setUp()
        self.folder = self.path("out")
        self.elsewhere = self.path("elsewhere")
        os.mkdir(self.folder)
        os.mkdir(self.elsewhere)
        self.report = os.path.join(self.folder, "r.csv")
        self.mounted = False
        self.victim = os.path.join(self.elsewhere, "victim")

    def kind_of(self, report):
        """What a report's bytes are, named (the bytes would flood a message)."""
        known = {b"old": "old", HEADER_BYTES: "header", self.reports["big"]: "whole"}
        return known.get(report, "%d other bytes" % len(report))

    def export(self, datastore, **keywords):
        return ostrelin(["-a", "-o:" + self.report], datastore, **keywords)

    def test_what_sits_at_the_report_path_is_replaced_never_followed(self):
        def link_to_victim():
            with open(self.victim, "wb") as file:
                file.write(b"secret")
            os.symlink(self.victim, self.report)

        def dangling_link():
            os.symlink(os.path.join(self.elsewhere, "absent"), self.report)

        def hard_link():
            with open(self.victim, "wb") as file:
                file.write(b"secret")
            os.link(self.victim, self.report)

        def fifo():
            os.mkfifo(self.report)

        def old_report():
            with open(self.report, "wb") as file:
                file.write(b"old")
            os.chmod(self.report, 0o644)

        cases = [
            # (what, setup, what `elsewhere` lists afterwards)
            ("a link to another file", link_to_victim, ["victim"]),
            ("a dangling link", dangling_link, []),
            ("a hard link to another file", hard_link, ["victim"]),
            ("a FIFO", fifo, []),
            ("an old report readable by all", old_report, []),
            ("nothing", lambda: None, []),
        ]
        for what, setup, elsewhere in cases:
            with self.subTest(what):
                for name in listing(self.folder):
                    os.unlink(os.path.join(self.folder, name))
                for name in listing(self.elsewhere):
                    os.unlink(os.path.join(self.elsewhere, name))
                setup()
                result = self.export(self.small, timeout=60)
                self.assertEqual(result.code, 0, result.stdout + result.stderr)
                status = os.lstat(self.report)
                self.assertTrue(stat.S_ISREG(status.st_mode), what)
                self.assertEqual(status.st_nlink, 1)
                # Owner only, whatever the old file's mode and the umask (022).
                self.assertEqual(stat.S_IMODE(status.st_mode), 0o600)
                self.assertEqual(read_bytes(self.report), self.reports["small"])
                self.assertEqual(listing(self.folder), ["r.csv"])
                self.assertEqual(listing(self.elsewhere), elsewhere)
                if elsewhere:
                    self.assertEqual(read_bytes(self.victim), b"secret")

    def tearDown(self):
        if self.mounted:
            subprocess.run(["umount", self.folder], check=True)
        super().tearDown()

    def mount_small_tmpfs(self, size):
        """A tmpfs of `size` bytes on the report's folder, for this test."""
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d,mode=0755" % size,
                                  "ostrelin-e2e", self.folder],
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if mounted.returncode != 0:
            self.skipTest("cannot mount a tmpfs here (root and CAP_SYS_ADMIN needed): " +
                          mounted.stdout.strip())
        self.mounted = True

    def test_a_report_that_cannot_be_written_whole_leaves_the_old_one(self):
        """A full disk and a file-size limit (the same refused write, without
        root): exit 1, the old report intact, nothing left over."""
        room = 256 * 1024
        self.assertLess(len(self.reports["small"]), room)
        self.assertGreater(len(self.reports["big"]), room)

        def file_size_limit():
            resource.setrlimit(resource.RLIMIT_FSIZE, (room, room))

        # The limit first: the tmpfs stays mounted to the end of the test.
        cases = [("a file-size limit", file_size_limit), ("a full disk", None)]
        for what, limit in cases:
            with self.subTest(what):
                if limit is None:
                    self.mount_small_tmpfs(room)
                self.assertEqual(self.export(self.small).code, 0)
                result = self.export(self.big, preexec=limit)
                self.assertEqual(result.code, 1, result.stdout + result.stderr)
                self.assertEqual(result.stdout, "Helper created \n" + ERRORS)
                self.assertEqual(read_bytes(self.report), self.reports["small"])
                self.assertEqual(listing(self.folder), ["r.csv"])

    def test_a_signal_while_writing_leaves_the_old_report(self):
        environment = dict(os.environ, KELO_DATASTORE=self.big)

        def default_signals():
            for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
                signal.signal(number, signal.SIG_DFL)

        for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(signal.Signals(number).name):
                with open(self.report, "wb") as file:
                    file.write(b"old")
                caught = False
                for attempt in range(5):
                    process = subprocess.Popen([OSTRELIN, "-a", "-o:" + self.report],
                                               env=environment, stdout=subprocess.DEVNULL,
                                               stderr=subprocess.DEVNULL,
                                               preexec_fn=default_signals)
                    # The temporary file shows that the report is being written.
                    while process.poll() is None and len(listing(self.folder)) < 2:
                        time.sleep(0.001)
                    if process.poll() is None:
                        process.send_signal(number)
                    code = process.wait(timeout=600)
                    self.assertEqual(listing(self.folder), ["r.csv"])
                    if code == 0:
                        # Finished before the signal could be sent: the new
                        # report stands, whole. Try again.
                        self.assertEqual(self.kind_of(read_bytes(self.report)), "whole")
                    else:
                        self.assertEqual(code, -number)
                        kind = self.kind_of(read_bytes(self.report))
                        if kind == "old":
                            caught = True
                            break
                        # The signal came just after the move.
                        self.assertEqual(kind, "whole")
                    with open(self.report, "wb") as file:
                        file.write(b"old")
                self.assertTrue(caught, "no run was caught while writing")

    def test_two_runs_into_one_path_leave_one_whole_report(self):
        for round_number in range(4):
            with self.subTest(round=round_number):
                processes = [
                    subprocess.Popen([OSTRELIN, "-a", "-o:" + self.report],
                                     env=dict(os.environ, KELO_DATASTORE=datastore),
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                    for datastore in (self.big, self.small)]
                codes = [process.wait(timeout=600) for process in processes]
                for process in processes:
                    process.stdout.close()
                    process.stderr.close()
                self.assertEqual(codes, [0, 0])
                self.assertIn(read_bytes(self.report)[:200000],
                              (self.reports["small"], self.reports["big"][:200000]))
                self.assertIn(len(read_bytes(self.report)),
                              (len(self.reports["small"]), len(self.reports["big"])))
                self.assertEqual(listing(self.folder), ["r.csv"])

    @unittest.skipIf(SANITIZED, "a sanitizer build reserves more address space than any "
                                "limit tried here; the release build runs this case")
    def test_out_of_memory_ends_with_exit_1_never_an_abort(self):
        with open(self.report, "wb") as file:
            file.write(b"old")
        ran_out = set()
        for megabytes in (24, 32, 48, 64, 96, 128, 192, 256, 384):
            def limit(size=megabytes * 1024 * 1024):
                resource.setrlimit(resource.RLIMIT_AS, (size, size))

            with self.subTest(program="ostrelin", megabytes=megabytes):
                before = self.kind_of(read_bytes(self.report))
                result = self.export(self.big, preexec=limit)
                self.assertIn(result.code, (0, 1), result.stdout + result.stderr)
                self.assertEqual(listing(self.folder), ["r.csv"])
                kind = self.kind_of(read_bytes(self.report))
                if result.code == 1:
                    ran_out.add("ostrelin")
                    self.assertTrue(result.stdout.endswith(ERRORS), result.stdout)
                    # Out of memory in the program: the report stays as it was
                    # (or is the whole one, when only the last line failed).
                    # In the datastore: the query fails, and the report holds
                    # what was collected before it, the header here.
                    if "Query for user ALL failed" in result.stdout:
                        self.assertEqual(kind, "header")
                    else:
                        self.assertIn(kind, (before, "whole"))
                else:
                    self.assertEqual(kind, "whole")

            with self.subTest(program="kelodb import", megabytes=megabytes):
                datastore = self.path("import.db")
                self.assertEqual(kelodb(["init"], datastore).code, 0)
                lines = b"".join(b'{"user":"S-1-22-1-0","url":"https://m.example/%d/%s",'
                                 b'"time":"2026-03-07T16:05:09Z","allowed":true,'
                                 b'"categories":[42]}\n' % (i, b"x" * 2000)
                                 for i in range(20_000))
                completed = subprocess.run([KELODB, "import", "--db", datastore, "-"],
                                           input=lines, stdout=subprocess.PIPE,
                                           stderr=subprocess.PIPE, preexec_fn=limit)
                self.assertIn(completed.returncode, (0, 1), completed.stderr)
                with sqlite3.connect(datastore) as database:
                    stored = database.execute("SELECT count(*) FROM visits").fetchone()[0]
                if completed.returncode == 1:
                    ran_out.add("kelodb")
                    self.assertIn(b"out of memory", completed.stderr)
                    self.assertEqual(stored, 0)
                else:
                    self.assertEqual(stored, 20_000)
                os.unlink(datastore)
        # The smallest limits are below what either needs: the failing paths ran.
        self.assertEqual(ran_out, {"ostrelin", "kelodb"})


if __name__ == "__main__":
    unittest.main()
