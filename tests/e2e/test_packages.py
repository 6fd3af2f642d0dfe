"""The installed tree and the packages, made from the build as an administrator
would make and use them: `cmake --install` into a prefix outside the build, the
tarball and the Debian package on POSIX (the package is only read, never
installed), the ZIP on Windows, unpacked into a folder of its own."""

import os
import re
import subprocess
import tarfile
import tempfile
import unittest
import zipfile
from datetime import datetime, timedelta, timezone

from harness import (WINDOWS, Result, TempDirTestCase, expected_row, host_name, native_path,
                     read_report, run, visit_line)
from test_cli import USAGE

BUILD_DIR = os.environ.get("OSTRELIN_BUILD_DIR", "")
CMAKE = os.environ.get("OSTRELIN_CMAKE", "cmake")
CPACK = os.environ.get("OSTRELIN_CPACK", "cpack")
VERSION = os.environ.get("OSTRELIN_VERSION", "")
OBJDUMP = os.environ.get("OSTRELIN_OBJDUMP", "")

POSIX_FILES = {
    "bin/ostrelin", "bin/kelodb", "lib/ostrelin/libVumoUtil.so",
    "share/man/man1/ostrelin.1.gz", "share/man/man1/kelodb.1.gz",
    "share/doc/ostrelin/README.md",
}
WINDOWS_FILES = {
    "Ostrelin.exe", "kelodb.exe", "Kelo.VumoUtil/VumoUtil.dll",
    "Kelo.VumoUtil/Kelo.VumoUtil.manifest", "README.md",
}


def checked(command, **kwargs):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          **kwargs).stdout.decode("utf-8")


def make_packages(generator, folder):
    """Runs CPack on the build; the packages (and CPack's scratch) go to folder."""
    checked([CPACK, "-G", generator, "-B", folder], cwd=BUILD_DIR)
    return [os.path.join(folder, name) for name in os.listdir(folder)
            if os.path.isfile(os.path.join(folder, name))]


def files_under(root):
    found = set()
    for folder, _, names in os.walk(root):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/"))
    return found


def run_installed(program, args, env=None, cwd=None, stdin=None):
    """Runs an installed program; on POSIX without anything in the environment
    that could lead it to the build's libraries."""
    if WINDOWS:
        return run(program, args, env=env, cwd=cwd, stdin=stdin)
    environment = {key: value for key, value in os.environ.items()
                   if key not in ("LD_LIBRARY_PATH", "LD_PRELOAD")}
    environment.update(env or {})
    return Result(subprocess.run([program] + list(args), env=environment, cwd=cwd, input=stdin,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600))


class InstalledExportCase(TempDirTestCase):
    """Fills a datastore with the installed kelodb and exports it with the
    installed program, both from the folder given."""

    def setUp(self):
        super().setUp()
        now = datetime.now(timezone.utc).replace(microsecond=0)
        self.visits = [("S-1-22-1-4242", "https://example.org/a?b=1", now - timedelta(days=2),
                        True, [42, 0]),
                       ("S-1-22-1-4243", "https://example.net/\u00e9t\u00e9", now - timedelta(days=1),
                        False, [27])]

    def check_export(self, folder, ostrelin, kelodb):
        work = tempfile.mkdtemp(dir=self.dir)
        datastore = os.path.join(work, "datastore.db")
        lines = "".join(visit_line(*visit) + "\n" for visit in self.visits)
        environment = {"KELO_DATASTORE": native_path(datastore), "TZ": "UTC"}
        made = run_installed(os.path.join(folder, kelodb), ["import", "-"], env=environment,
                   stdin=lines.encode("utf-8"))
        self.assertEqual(made.code, 0, made.stderr)

        report = os.path.join(work, "out", "report.csv")
        result = run_installed(os.path.join(folder, ostrelin), ["-a", "-o:" + native_path(report)],
                     env=environment, cwd=work)
        self.assertEqual(result.code, 0, result.stdout + result.stderr)
        self.assertIn("Proccess finished ok with output : ", result.stdout)
        expected = [expected_row(host_name(), "ALL", url, moment, allowed, categories,
                                 timezone.utc)
                    for _, url, moment, allowed, categories in self.visits]
        self.assertEqual(read_report(report), expected)

        # No datastore: the library is loaded and counts the product as absent.
        environment["KELO_DATASTORE"] = native_path(os.path.join(work, "none.db"))
        result = run_installed(os.path.join(folder, ostrelin), ["-o:" + native_path(report)],
                     env=environment, cwd=work)
        self.assertEqual(result.code, 1)
        self.assertIn("Helper not created", result.stdout)

        result = run_installed(os.path.join(folder, ostrelin), ["-h"], env=environment, cwd=work)
        self.assertEqual((result.code, result.stdout), (0, USAGE))


def elf_dynamic(path):
    """The dynamic section of an ELF file as (tag, value) pairs."""
    pairs = []
    for line in checked(["readelf", "-dW", path]).splitlines():
        found = re.match(r"\s*0x[0-9a-f]+ \((\w+)\)\s+(.*)", line)
        if found:
            pairs.append((found.group(1), found.group(2)))
    return pairs


def elf_segments(path):
    segments = {}
    for line in checked(["readelf", "-lW", path]).splitlines():
        fields = line.split()
        if fields and fields[0].startswith("GNU_"):
            # Type, offset, addresses, sizes, then the flags before the alignment.
            segments[fields[0]] = "".join(fields[6:-1])
    return segments


def imported_symbols(path):
    return set(re.findall(r"\b(__\w+_chk|__stack_chk_fail)\b",
                          checked(["readelf", "--dyn-syms", "-W", path])))


def runpath_entries(dynamic):
    entries = []
    for tag, value in dynamic:
        if tag in ("RUNPATH", "RPATH"):
            entries += re.match(r".*\[(.*)\]", value).group(1).split(":")
    return entries


@unittest.skipIf(WINDOWS, "POSIX build only")
class InstalledTreeTest(InstalledExportCase):
    def install(self, prefix):
        checked([CMAKE, "--install", BUILD_DIR, "--prefix", prefix])

    def test_installed_tree_runs_from_any_prefix(self):
        prefix = self.path("prefix with space")
        self.install(prefix)
        self.assertEqual(files_under(prefix), POSIX_FILES)
        self.check_export(os.path.join(prefix, "bin"), "ostrelin", "kelodb")

        moved = self.path("elsewhere", "\u00e9")
        os.makedirs(os.path.dirname(moved))
        os.rename(prefix, moved)
        self.check_export(os.path.join(moved, "bin"), "ostrelin", "kelodb")

    def test_binaries_are_hardened_and_find_the_library_relative_to_themselves(self):
        prefix = self.path("prefix")
        self.install(prefix)
        imports = set()
        for name in ("bin/ostrelin", "bin/kelodb", "lib/ostrelin/libVumoUtil.so"):
            with self.subTest(file=name):
                path = os.path.join(prefix, name)
                dynamic = elf_dynamic(path)
                flags = " ".join(value for tag, value in dynamic if tag in ("FLAGS", "FLAGS_1"))
                self.assertIn("NOW", flags.split(), "bound at load (-z now)")
                if name.startswith("bin/"):
                    self.assertIn("PIE", flags.split())
                segments = elf_segments(path)
                self.assertIn("GNU_RELRO", segments)
                self.assertEqual(segments.get("GNU_STACK"), "RW", "no executable stack")
                symbols = imported_symbols(path)
                self.assertIn("__stack_chk_fail", symbols)
                imports |= symbols

                self.assertNotIn("RPATH", [tag for tag, _ in dynamic], "RUNPATH, not RPATH")
                entries = runpath_entries(dynamic)
                for entry in entries:
                    self.assertTrue(entry.startswith("$ORIGIN"), entry)
                if name == "bin/ostrelin":
                    self.assertEqual(len(entries), 1)
                    folder = entries[0].replace("$ORIGIN", os.path.dirname(path), 1)
                    self.assertEqual(os.path.realpath(folder),
                                     os.path.realpath(os.path.join(prefix, "lib/ostrelin")))
        self.assertTrue(any(symbol.endswith("_chk") and symbol != "__stack_chk_fail"
                            for symbol in imports), "fortified calls (_FORTIFY_SOURCE)")

    def test_manual_pages_render_and_list_the_options(self):
        prefix = self.path("prefix")
        self.install(prefix)
        kelodb_options = set()
        kelodb = os.path.join(prefix, "bin", "kelodb")
        commands = ("init", "import", "generate", "stats")
        for command in commands:
            shown = run_installed(kelodb, [command, "--help"])
            self.assertEqual(shown.code, 0)
            kelodb_options |= set(re.findall(r"(?<![\w-])--[a-z]+", shown.stdout))
        kelodb_options.discard("--help")
        self.assertIn("--visits", kelodb_options)
        usage_options = set(re.findall(r"^\t(-\S+)", USAGE, re.M))
        self.assertEqual(usage_options, {"-d:nDays", "-o:Filepath", "-h"})

        cases = [("ostrelin", usage_options | {"-a", "KELO_DATASTORE", "/var/lib/kelo/datastore.db"}),
                 ("kelodb", kelodb_options | set(commands) | {"KELO_DATASTORE"})]
        for page, words in cases:
            with self.subTest(page=page):
                path = os.path.join(prefix, "share/man/man1", page + ".1.gz")
                shown = subprocess.run(["man", "--warnings", "--nh", "--nj", "-l", path],
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                       env=dict(os.environ, MANWIDTH="100", LC_ALL="C.UTF-8",
                                                # Some containers refuse man's sandbox.
                                                MAN_DISABLE_SECCOMP="1"))
                self.assertEqual((shown.returncode, shown.stderr.decode()), (0, ""))
                text = shown.stdout.decode("utf-8")
                sections = re.findall(r"^([A-Z][A-Z ]+)$", text, re.M)
                for section in ("NAME", "SYNOPSIS", "OPTIONS", "EXIT STATUS", "FILES",
                                "ENVIRONMENT"):
                    self.assertIn(section, sections)
                for word in sorted(words):
                    self.assertIn(word, text)
                exit_status = text.split("EXIT STATUS", 1)[1].split("FILES", 1)[0]
                codes = re.findall(r"^\s+(\d)\s", exit_status, re.M)
                self.assertEqual(codes, ["0", "1", "2"] if page == "kelodb" else ["0", "1"])


@unittest.skipIf(WINDOWS, "POSIX build only")
class PosixPackagesTest(TempDirTestCase):
    def test_debian_package_and_tarball(self):
        packages = make_packages("DEB", self.path("deb")) + make_packages("TGZ", self.path("tgz"))
        names = sorted(os.path.basename(package) for package in packages)
        architecture = checked(["dpkg", "--print-architecture"]).strip()
        self.assertEqual(names, ["ostrelin-%s-Linux.tar.gz" % VERSION,
                                 "ostrelin_%s_%s.deb" % (VERSION, architecture)])
        deb = [package for package in packages if package.endswith(".deb")][0]

        info = checked(["dpkg-deb", "--info", deb])
        fields = dict(re.findall(r"^ (\w[\w-]*): (.*)$", info, re.M))
        self.assertEqual(fields["Package"], "ostrelin")
        self.assertEqual(fields["Version"], VERSION)
        self.assertEqual(fields["Architecture"], architecture)
        depends = [item.split()[0] for item in fields["Depends"].split(", ")]
        self.assertIn("libsqlite3-0", depends)

        contents = {}
        for line in checked(["dpkg-deb", "--contents", deb]).splitlines():
            mode, _, _, _, _, name = line.split(None, 5)
            contents[name.removeprefix("./").rstrip("/")] = mode
        files = {name for name, mode in contents.items() if not mode.startswith("d")}
        self.assertEqual(files, {"usr/" + name for name in POSIX_FILES})
        for program in ("usr/bin/ostrelin", "usr/bin/kelodb"):
            self.assertEqual(contents[program], "-rwxr-xr-x")
        # No datastore folder: its absence means the product is not installed.
        self.assertFalse([name for name in contents if name.startswith("var")])

        with tarfile.open([p for p in packages if p.endswith(".tar.gz")][0]) as tarball:
            members = {member.name for member in tarball.getmembers() if member.isfile()}
        top = "ostrelin-%s-Linux/" % VERSION
        self.assertEqual(members, {top + name for name in POSIX_FILES})


def pe_characteristics(path):
    """The DllCharacteristics bits and the section names of a PE file."""
    listing = checked([OBJDUMP, "-p", "-h", path])
    bits = int(re.search(r"^DllCharacteristics\s+([0-9a-fA-F]+)", listing, re.M).group(1), 16)
    sections = set(re.findall(r"^\s+\d+\s+(\.\w+)\s", listing, re.M))
    return bits, sections


@unittest.skipUnless(WINDOWS, "Windows build only")
class WindowsZipTest(InstalledExportCase):
    def unpacked(self):
        """The ZIP's folder, unpacked into the test's own folder."""
        packages = make_packages("ZIP", self.path("zip"))
        self.assertEqual([os.path.basename(p) for p in packages],
                         ["Ostrelin-%s-win64.zip" % VERSION])
        top = "Ostrelin-%s-win64/" % VERSION
        with zipfile.ZipFile(packages[0]) as archive:
            names = {name for name in archive.namelist() if not name.endswith("/")}
            self.assertEqual(names, {top + name for name in WINDOWS_FILES})
            archive.extractall(self.path("unpacked"))
        return self.path("unpacked", top)

    def test_unzipped_package_runs_from_a_folder_of_its_own(self):
        self.check_export(self.unpacked(), "Ostrelin.exe", "kelodb.exe")

    def test_shipped_binaries_ask_for_aslr_and_nx(self):
        self.assertTrue(OBJDUMP, "OSTRELIN_OBJDUMP names the PE objdump")
        folder = self.unpacked()
        high_entropy_va, dynamic_base, nx_compat = 0x20, 0x40, 0x100
        for name in sorted(WINDOWS_FILES):
            if not name.endswith((".exe", ".dll")):
                continue
            with self.subTest(file=name):
                bits, sections = pe_characteristics(os.path.join(folder, name))
                for flag in (high_entropy_va, dynamic_base, nx_compat):
                    self.assertTrue(bits & flag, "DllCharacteristics %#x lacks %#x" % (bits, flag))
                # ASLR moves only what carries its relocations.
                self.assertIn(".reloc", sections)

    def test_install_gives_the_packed_tree(self):
        prefix = self.path("prefix")
        checked([CMAKE, "--install", BUILD_DIR, "--prefix", prefix])
        self.assertEqual(files_under(prefix), WINDOWS_FILES)


if __name__ == "__main__":
    unittest.main()
