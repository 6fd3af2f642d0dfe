#!/usr/bin/env python3
"""Times ostrelin against the sqlite3 shell's CSV export of the same visits.

For every size: a datastore made by kelodb generate (fixed seed, 5 users of
this machine, 365 days), then several runs of each program on that one file.
Prints medians of wall time and peak resident memory, their ratio, the cost per
visit and the report's size.
"""

import argparse
import os
import pwd
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def measure(command, env=None, stdout=subprocess.DEVNULL):
    """Wall seconds and peak resident bytes of one child process."""
    start = time.perf_counter()
    process = subprocess.Popen(command, env=env, stdout=stdout, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    stderr = process.stderr.read().decode(errors="replace")
    process.stderr.close()
    if process.returncode != 0:
        sys.exit("%s failed (%d): %s" % (command[0], process.returncode, stderr))
    return wall, usage.ru_maxrss * 1024


def peer_sql(days):
    """The same visits as ostrelin exports: user, local date text, URL, action,
    category numbers, users in SID order and each user's visits oldest first."""
    return (
        "SELECT u.sid, strftime('%%m/%%d/%%Y %%H:%%M:%%S', v.time_ms / 1000.0, 'unixepoch', "
        "'localtime'), v.url, CASE v.allowed WHEN 1 THEN 'ALLOWED' ELSE 'DENIED' END, "
        "v.categories FROM visits v JOIN users u ON u.id = v.user_id "
        "WHERE v.time_ms >= (CAST(strftime('%%s', 'now', 'start of day', '-%d days') AS INTEGER) "
        "* 1000) ORDER BY u.sid, v.time_ms, v.id;" % days)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder with ostrelin and kelodb")
    parser.add_argument("--work", required=True, help="folder for the datastores")
    parser.add_argument("--sizes", default="10000,100000,1000000")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()

    sqlite3 = shutil.which("sqlite3")
    if sqlite3 is None:
        sys.exit("sqlite3 shell not found")
    ostrelin = os.path.join(args.bin, "ostrelin")
    kelodb = os.path.join(args.bin, "kelodb")
    os.makedirs(args.work, exist_ok=True)
    users = ",".join("S-1-22-1-%d" % entry.pw_uid for entry in pwd.getpwall()[:5])

    print("%-9s %10s %10s %7s %10s %10s %7s %9s %9s %11s" % (
        "visits", "ostrelin_s", "sqlite3_s", "ratio", "ostr_MiB", "sql_MiB", "RSS/rep",
        "ns/visit", "B/visit", "report_MiB"))
    for size in (int(s) for s in args.sizes.split(",")):
        datastore = os.path.join(args.work, "bench-%d.db" % size)
        if not os.path.exists(datastore):
            subprocess.run([kelodb, "generate", "--db", datastore, "--visits", str(size),
                            "--users", users, "--days", "365", "--seed", "42"], check=True,
                           stdout=subprocess.DEVNULL)
        env = dict(os.environ, KELO_DATASTORE=datastore)
        ours, theirs = [], []
        with tempfile.TemporaryDirectory(prefix="ostrelin-bench-") as out:
            report = os.path.join(out, "report.csv")
            for _ in range(args.runs):
                ours.append(measure([ostrelin, "-o:" + report], env=env))
                with open(os.path.join(out, "peer.csv"), "wb") as sink:
                    theirs.append(measure([sqlite3, "-readonly", "-csv", datastore,
                                           peer_sql(365)], stdout=sink))
            report_bytes = os.path.getsize(report)
        wall = statistics.median(w for w, _ in ours)
        peer_wall = statistics.median(w for w, _ in theirs)
        rss = statistics.median(m for _, m in ours)
        peer_rss = statistics.median(m for _, m in theirs)
        print("%-9d %10.3f %10.3f %7.2f %10.1f %10.1f %7.2f %9.0f %9.0f %11.1f" % (
            size, wall, peer_wall, wall / peer_wall, rss / 2**20, peer_rss / 2**20,
            rss / report_bytes, wall * 1e9 / size, rss / size, report_bytes / 2**20))
    sys.stdout.flush()


if __name__ == "__main__":
    main()
