"""The Windows program's manifest and its private assembly (Windows build only)."""

import os
import re
import shutil
import subprocess
import unittest
import xml.etree.ElementTree as ElementTree

from harness import BIN_DIR, OSTRELIN, WINDOWS, TempDirTestCase, native_path, run
from test_cli import USAGE

ASSEMBLY = "Kelo.VumoUtil"
NS = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3"}
WINDRES = os.environ.get("OSTRELIN_WINDRES", "")


def embedded_manifest(program):
    """The text of resource type 24, id 1, as windres decompiles it."""
    listing = subprocess.run([WINDRES, "--input", program, "--output-format", "rc"],
                             check=True, stdout=subprocess.PIPE).stdout.decode("utf-8")
    block = re.search(r"^1 24\b.*?^BEGIN\n(.*?)^END", listing, re.M | re.S)
    if block is None:
        return None
    text = ""
    for line in block.group(1).splitlines():
        piece = line.strip()
        if piece.startswith('"') and piece.endswith('"'):
            text += piece[1:-1].replace('""', '"').replace("\\n", "\n").replace("\\t", "\t")
    return text


def identity(element):
    found = element.find("v1:assemblyIdentity", NS)
    return {key: found.get(key) for key in ("type", "name", "version", "processorArchitecture")}


@unittest.skipUnless(WINDOWS, "Windows build only")
class ManifestTest(TempDirTestCase):
    def test_manifest_asks_for_the_invoker_and_the_assembly(self):
        self.assertTrue(WINDRES, "OSTRELIN_WINDRES names the resource compiler")
        text = embedded_manifest(OSTRELIN)
        self.assertIsNotNone(text, "no resource 1 of type 24")
        root = ElementTree.fromstring(text)
        level = root.find("v3:trustInfo/v3:security/v3:requestedPrivileges/"
                          "v3:requestedExecutionLevel", NS)
        self.assertEqual(level.get("level"), "asInvoker")

        dependencies = root.findall("v1:dependency/v1:dependentAssembly", NS)
        self.assertEqual(len(dependencies), 1)
        with open(os.path.join(BIN_DIR, ASSEMBLY, ASSEMBLY + ".manifest"), "rb") as file:
            assembly = ElementTree.fromstring(file.read())
        self.assertEqual(identity(dependencies[0]), identity(assembly))
        self.assertEqual(identity(assembly)["name"], ASSEMBLY)
        files = [entry.get("name") for entry in assembly.findall("v1:file", NS)]
        self.assertEqual(files, ["VumoUtil.dll"])

    def test_redirected_output_ends_each_line_with_cr_lf(self):
        usage = run(OSTRELIN, ["-h"])
        self.assertEqual(usage.raw_stdout, USAGE.replace("\n", "\r\n").encode("utf-8"))
        missing = run(OSTRELIN, ["-o:" + native_path(self.path("r.csv"))],
                      env={"KELO_DATASTORE": native_path(self.path("none.db"))})
        self.assertEqual(missing.code, 1)
        self.assertTrue(missing.raw_stdout.endswith(b"whith errors\r\n"), missing.raw_stdout)
        self.assertNotIn(b"\r\r", missing.raw_stdout)

    def test_a_copied_folder_starts_only_with_the_assembly(self):
        shutil.copy2(OSTRELIN, self.dir)
        shutil.copytree(os.path.join(BIN_DIR, ASSEMBLY), self.path(ASSEMBLY))
        self.assertFalse(os.path.exists(self.path("VumoUtil.dll")))
        program = self.path(os.path.basename(OSTRELIN))

        started = run(program, ["-h"], cwd=self.dir)
        self.assertEqual((started.code, started.stdout), (0, USAGE))

        os.remove(self.path(ASSEMBLY, ASSEMBLY + ".manifest"))
        refused = run(program, ["-h"], cwd=self.dir)
        self.assertNotEqual(refused.code, 0)
        self.assertEqual(refused.stdout, "")


if __name__ == "__main__":
    unittest.main()
