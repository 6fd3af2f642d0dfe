"""Runs the real programs for the end-to-end tests and reads what they leave.

The programs come from OSTRELIN_BIN_DIR. For the Windows build the tests run
them through OSTRELIN_EMULATOR (the Wine loader) and hand them Windows paths.
"""

import csv
import functools
import io
import json
import os
import pwd
import socket
import subprocess
import tempfile
import unittest
from datetime import datetime, timedelta, timezone

BIN_DIR = os.environ.get("OSTRELIN_BIN_DIR", "")
EMULATOR = os.environ.get("OSTRELIN_EMULATOR", "")
WINDOWS = bool(EMULATOR)
SUFFIX = ".exe" if WINDOWS else ""
OSTRELIN = os.path.join(BIN_DIR, ("Ostrelin" if WINDOWS else "ostrelin") + SUFFIX)
KELODB = os.path.join(BIN_DIR, "kelodb" + SUFFIX)

HEADER = "HOSTNAME,DATE,URL,USERNAME,ACTION,CATEGORY 1,CATEGORY 2,CATEGORY 3,CATEGORY 4,CATEGORY 5\n"

CATEGORY_NAMES = {
    0: "Unknown", 1: "Advertisements & Pop-Ups", 2: "Alcohol & Tobacco", 3: "Anonymizers",
    4: "Arts", 5: "Business", 6: "Transportation", 7: "Chat", 9: "Forums & Newsgroups",
    10: "Compromised", 11: "Computers & Technology", 12: "Criminal Activity",
    13: "Dating & Personals", 14: "Download Sites", 15: "Education", 16: "Entertainment",
    17: "Finance", 18: "Gambling", 19: "Games", 20: "Government", 21: "Hate & Intolerance",
    22: "Health & Medicine", 23: "Illegal Drug", 24: "Job Search",
    26: "Streaming Media & Downloads", 27: "News", 28: "Non-profits & NGOs", 29: "Nudity",
    30: "Personal Sites", 31: "Phishing & Fraud", 32: "Politics",
    33: "Pornography/Sexually Explicit", 34: "Real Estate", 35: "Religion",
    36: "Restaurants & Dining", 37: "Search Engines & Portals", 38: "Shopping",
    39: "Social Networking", 40: "Spam Sites", 41: "Sports", 42: "Malware", 44: "Translators",
    45: "Travel", 46: "Violence", 47: "Weapons", 48: "Web-based Email", 49: "General",
    50: "Leisure & Recreation", 61: "Botnets", 62: "Cults", 63: "Fashion & Beauty",
    64: "Greeting cards", 65: "Hacking", 67: "Illegal Software", 68: "Image Sharing",
    69: "Information Security", 70: "Instant Messaging", 71: "Network Errors",
    72: "Parked Domains", 73: "Peer-to-Peer", 74: "Private IP Addresses", 75: "School Cheating",
    76: "Sex Education", 77: "Tasteless", 78: "Child Abuse Images", 100: "Quorren Malware",
    1000: "White List", 1001: "Black List",
}


def native_path(path):
    """The path as the program under test spells it."""
    if WINDOWS:
        return "Z:" + path.replace("/", "\\")
    return path


def separator():
    return "\\" if WINDOWS else "/"


class Result:
    def __init__(self, completed):
        self.code = completed.returncode
        self.raw_stdout = completed.stdout
        self.stdout = completed.stdout.decode("utf-8", errors="replace")
        if WINDOWS:
            # Redirected Windows output ends its lines with CR LF, as the
            # runtime's text mode writes them; the tests compare the lines.
            self.stdout = self.stdout.replace("\r\n", "\n")
        self.stderr = completed.stderr.decode("utf-8", errors="replace")


def run(program, args, env=None, cwd=None, stdin=None, timeout=600, wrapper=(), preexec=None):
    """`preexec` runs in the child before the program starts (limits, signals)."""
    command = list(wrapper) + ([EMULATOR] if WINDOWS else []) + [program] + list(args)
    full_env = dict(os.environ)
    if WINDOWS:
        full_env.setdefault("WINEDEBUG", "-all")
    full_env.update(env or {})
    completed = subprocess.run(command, env=full_env, cwd=cwd, input=stdin,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout,
                               preexec_fn=preexec)
    return Result(completed)


LEAK_MESSAGE = "objects of the library left alive"


def ostrelin(args, datastore, cwd=None, env=None, wrapper=(), timeout=600, preexec=None):
    """Runs the program; the stand-in reports objects left alive at exit, and
    every run must leave none."""
    environment = {"KELO_DATASTORE": native_path(datastore), "KELO_LEAK_CHECK": "1"}
    environment.update(env or {})
    result = run(OSTRELIN, args, env=environment, cwd=cwd, wrapper=wrapper, timeout=timeout,
                 preexec=preexec)
    if LEAK_MESSAGE in result.stderr:
        raise AssertionError("the run left objects alive: " + result.stderr)
    return result


def kelodb(args, datastore, stdin=None):
    return run(KELODB, list(args[:1]) + ["--db", native_path(datastore)] + list(args[1:]),
               stdin=stdin)


def iso(moment):
    """ISO 8601 UTC text with milliseconds, as kelodb reads it."""
    return moment.astimezone(timezone.utc).strftime("%Y-%m-%dT%H:%M:%S.") + \
        "%03dZ" % (moment.microsecond // 1000)


def visit_line(user, url, moment, allowed=True, categories=()):
    return json.dumps({"user": user, "url": url, "time": iso(moment), "allowed": allowed,
                       "categories": list(categories)}, ensure_ascii=False)


def import_visits(testcase, datastore, visits):
    """Fills a new datastore with (user, url, moment, allowed, categories) tuples."""
    testcase.assertEqual(kelodb(["init"], datastore).code, 0)
    lines = "".join(visit_line(*visit) + "\n" for visit in visits)
    result = kelodb(["import", "-"], datastore, stdin=lines.encode("utf-8"))
    testcase.assertEqual(result.code, 0, result.stderr)


def read_report(path):
    """The report's rows through Python's own CSV reader, header checked."""
    with open(path, "rb") as file:
        data = file.read()
    assert data[:2] == b"\xff\xfe", "no UTF-16LE byte order mark"
    text = data[2:].decode("utf-16-le", errors="surrogatepass")
    assert text.startswith(HEADER), "unexpected header"
    rows = list(csv.reader(io.StringIO(text[len(HEADER):], newline="")))
    return rows


def host_name():
    name = socket.gethostname().split(".")[0]
    return name.upper()[:15] if WINDOWS else name


def user_sid(uid):
    """A user identifier as the system spells it: a Unix user id mapped to a
    SID on POSIX, an account of a made-up domain on Windows."""
    if WINDOWS:
        return "S-1-5-21-1-2-3-%d" % uid
    return "S-1-22-1-%d" % uid


PROFILE_LIST = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList"

# Windows' service account: every Windows machine lists its profile. Wine's
# own prefix lists only the user's, so the tests add it there.
SYSTEM_SID = "S-1-5-18"


def wine_profile_sids():
    """The subkeys of the Wine prefix's profile list, in registry order."""
    listing = run("reg", ["query", PROFILE_LIST]).stdout
    prefix = PROFILE_LIST.split("\\", 1)[1].lower() + "\\"
    sids = []
    for line in listing.splitlines():
        line = line.strip()
        at = line.lower().find(prefix)
        if at >= 0:
            sids.append(line[at + len(prefix):])
    return sids


def wine_account_label(sid):
    """What Windows (here Wine) names an account: Wine gives the Unix user the
    account S-1-5-21-0-0-0-1000 on the computer's own domain."""
    if sid == SYSTEM_SID:
        return "NT AUTHORITY\\SYSTEM"
    if sid == "S-1-5-21-0-0-0-1000":
        return host_name() + "\\" + pwd.getpwuid(os.getuid()).pw_name
    raise AssertionError("no known account for " + sid)


@functools.lru_cache(maxsize=None)
def profiles():
    """The machine's profiles, in enumeration order, as (sid, label)."""
    if WINDOWS:
        sids = wine_profile_sids()
        if SYSTEM_SID not in sids:
            run("reg", ["add", PROFILE_LIST + "\\" + SYSTEM_SID, "/f"])
            sids = wine_profile_sids()
        return tuple((sid, wine_account_label(sid)) for sid in sids)
    return tuple((user_sid(entry.pw_uid), "Unix User\\" + entry.pw_name)
                 for entry in pwd.getpwall())


def local_text(moment, zone):
    """The report's date text: the visit rounded to whole seconds, in local time."""
    rounded = moment.astimezone(timezone.utc)
    rounded = rounded.replace(microsecond=0) + timedelta(
        seconds=1 if moment.microsecond >= 500_000 else 0)
    local = rounded.astimezone(zone)
    hour = local.hour % 12 or 12
    return "%d/%d/%d %d:%02d:%02d %s" % (local.month, local.day, local.year, hour, local.minute,
                                         local.second, "AM" if local.hour < 12 else "PM")


def expected_row(host, label, url, moment, allowed, categories, zone):
    names = [CATEGORY_NAMES.get(number, "") for number in categories][:5]
    names += [""] * (5 - len(names))
    shown = url.split("\0", 1)[0]
    return [host, local_text(moment, zone), shown, label, "ALLOWED" if allowed else "DENIED"] + \
        names + [""]


def window_start(now_utc, days):
    day = (now_utc - timedelta(days=days)).date()
    return datetime(day.year, day.month, day.day, tzinfo=timezone.utc)


class TempDirTestCase(unittest.TestCase):
    def setUp(self):
        self._temp = tempfile.TemporaryDirectory(prefix="ostrelin-e2e-")
        self.dir = self._temp.name

    def tearDown(self):
        self._temp.cleanup()

    def path(self, *parts):
        return os.path.join(self.dir, *parts)
