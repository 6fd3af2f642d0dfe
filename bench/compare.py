#!/usr/bin/env python3
"""Times ostrelin against the sqlite3 shell's CSV export of the same visits.

For every size: a fresh datastore made by kelodb generate in a temporary
folder (fixed seed, 5 users of this machine, 365 days), then one untimed
warm-up and several timed runs of each program, alternating, on that one file.
Prints medians of wall time and peak resident memory, their ratio, the cost per
visit and the report's size, then an empty datastore with 1,000 profiles, and
last the targets with what was measured.
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

SEED = "42"
DAYS = 365
PROFILES = 1000


def measure(command, env=None, stdout=subprocess.DEVNULL):
    """Wall seconds, peak resident bytes and CPU seconds (user and system) of
    one child process."""
    start = time.perf_counter()
    process = subprocess.Popen(command, env=env, stdout=stdout, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    stderr = process.stderr.read().decode(errors="replace")
    process.stderr.close()
    if process.returncode != 0:
        sys.exit("%s failed (%d): %s" % (command[0], process.returncode, stderr))
    return wall, usage.ru_maxrss * 1024, usage.ru_utime + usage.ru_stime


def peer_sql(days):
    """The same visits as ostrelin exports: user, local date text, URL, action,
    category numbers, users in SID order and each user's visits oldest first."""
    return (
        "SELECT u.sid, strftime('%%m/%%d/%%Y %%H:%%M:%%S', v.time_ms / 1000.0, 'unixepoch', "
        "'localtime'), v.url, CASE v.allowed WHEN 1 THEN 'ALLOWED' ELSE 'DENIED' END, "
        "v.categories FROM visits v JOIN users u ON u.id = v.user_id "
        "WHERE v.time_ms >= (CAST(strftime('%%s', 'now', 'start of day', '-%d days') AS INTEGER) "
        "* 1000) ORDER BY u.sid, v.time_ms, v.id;" % days)


def report_rows(path):
    """Rows of a UTF-16LE report, its header not counted."""
    with open(path, "rb") as report:
        return report.read().decode("utf-16").count("\n") - 1


def medians(samples):
    """Median wall time, peak memory and CPU time."""
    return tuple(statistics.median(sample[i] for sample in samples) for i in range(3))


def bench_size(args, size, users, env, work):
    datastore = os.path.join(work, "visits-%d.db" % size)
    subprocess.run([args.kelodb, "generate", "--db", datastore, "--visits", str(size),
                    "--users", users, "--days", str(DAYS), "--seed", SEED], check=True,
                   stdout=subprocess.DEVNULL)
    run_env = dict(env, KELO_DATASTORE=datastore)
    report = os.path.join(work, "report.csv")
    peer_out = os.path.join(work, "peer.csv")
    ours, theirs = [], []
    for run in range(args.runs + 1):
        sample = measure([args.ostrelin, "-o:" + report], env=run_env)
        with open(peer_out, "wb") as sink:
            peer = measure([args.sqlite3, "-readonly", "-csv", datastore, peer_sql(DAYS)],
                           env=env, stdout=sink)
        if run > 0:  # the first run only warms the file cache
            ours.append(sample)
            theirs.append(peer)
    rows = report_rows(report)
    with open(peer_out, "rb") as peer_file:
        peer_rows = sum(1 for _ in peer_file)
    if rows != size or peer_rows != size:
        sys.exit("size %d: ostrelin wrote %d rows, sqlite3 %d" % (size, rows, peer_rows))
    result = {"size": size, "report": os.path.getsize(report)}
    result["wall"], result["rss"], result["cpu"] = medians(ours)
    result["peer_wall"], result["peer_rss"], result["peer_cpu"] = medians(theirs)
    os.remove(datastore)
    return result


def bench_profiles(args, env, work):
    """An empty datastore and a user database of 1,000 profiles. The profiles
    are a generated passwd file bind-mounted over /etc/passwd in a private
    mount namespace of this process alone (unshare), so ostrelin reads them
    through getpwent as it reads the real ones; the machine's own list is not
    touched. Returns None, and why, where that cannot be done."""
    if not args.in_namespace:
        if shutil.which("unshare") is None:
            return None, "no unshare"
        command = [shutil.which("unshare"), "--mount", "--propagation", "private",
                   sys.executable, os.path.abspath(__file__), "--profiles-only",
                   "--in-namespace", "--bin", args.bin, "--runs", str(args.runs)]
        child = subprocess.run(command, env=env, capture_output=True, text=True)
        if child.returncode != 0:
            reason = child.stderr.strip().splitlines()
            return None, reason[-1] if reason else "unshare failed"
        wall, rss, cpu = child.stdout.split()
        return (float(wall), int(rss), float(cpu)), None

    passwd = os.path.join(work, "passwd")
    with open(passwd, "w") as entries:
        for i in range(PROFILES):
            entries.write("bench%04d:x:%d:%d::/nonexistent:/usr/sbin/nologin\n" % (
                i, 200000 + i, 200000 + i))
    subprocess.run(["mount", "--bind", passwd, "/etc/passwd"], check=True)
    seen = len(pwd.getpwall())
    if seen != PROFILES:
        sys.exit("the namespace shows %d profiles, not %d" % (seen, PROFILES))
    datastore = os.path.join(work, "empty.db")
    subprocess.run([args.kelodb, "init", "--db", datastore], check=True,
                   stdout=subprocess.DEVNULL)
    run_env = dict(env, KELO_DATASTORE=datastore)
    report = os.path.join(work, "empty.csv")
    samples = [measure([args.ostrelin, "-o:" + report], env=run_env)
               for _ in range(args.runs + 1)][1:]
    if os.path.getsize(report) != 180:
        sys.exit("the empty datastore gave a report of %d bytes" % os.path.getsize(report))
    return medians(samples), None


def machine():
    """nproc, the CPU model, RAM and the load when the run began."""
    model = "unknown CPU"
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as info:
        kib = int(info.readline().split()[1])
    return "%d x %s, %.1f GiB RAM, load average %.2f" % (
        os.cpu_count(), model, kib / 2**20, os.getloadavg()[0])


def verdict(ok):
    return "met" if ok else "MISSED"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder with ostrelin and kelodb")
    parser.add_argument("--sizes", default="10000,100000,1000000")
    parser.add_argument("--runs", type=int, default=5, help="timed runs of each program")
    parser.add_argument("--tz", help="TZ for both programs (default: as inherited)")
    parser.add_argument("--profiles-only", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--in-namespace", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()

    args.ostrelin = os.path.join(args.bin, "ostrelin")
    args.kelodb = os.path.join(args.bin, "kelodb")
    args.sqlite3 = shutil.which("sqlite3")
    if args.sqlite3 is None:
        sys.exit("sqlite3 shell not found (scripts/install-deps bench)")
    env = dict(os.environ)
    if args.tz is not None:
        env["TZ"] = args.tz

    with tempfile.TemporaryDirectory(prefix="ostrelin-bench-") as work:
        if args.profiles_only:
            (wall, rss, cpu), _ = bench_profiles(args, env, work)
            print(wall, rss, cpu)
            return

        users = ",".join("S-1-22-1-%d" % entry.pw_uid for entry in pwd.getpwall()[:5])
        print(machine())
        print("median of %d runs each; TZ=%s; seed %s, 5 users, %d days" % (
            args.runs, env.get("TZ", "(unset)"), SEED, DAYS))
        print("%-8s %10s %9s %6s %8s %8s %8s %7s %7s %8s %8s %10s" % (
            "visits", "ostrelin_s", "sqlite3_s", "ratio", "ostr_cpu", "sql_cpu", "ostr_MiB",
            "sql_MiB", "RSS/rep", "ns/visit", "B/visit", "report_MiB"))
        results = []
        for size in (int(s) for s in args.sizes.split(",")):
            r = bench_size(args, size, users, env, work)
            results.append(r)
            print("%-8d %10.3f %9.3f %6.2f %8.3f %8.3f %8.1f %7.1f %7.2f %8.0f %8.0f %10.1f" % (
                size, r["wall"], r["peer_wall"], r["wall"] / r["peer_wall"], r["cpu"],
                r["peer_cpu"], r["rss"] / 2**20, r["peer_rss"] / 2**20, r["rss"] / r["report"],
                r["wall"] * 1e9 / size, r["rss"] / size, r["report"] / 2**20), flush=True)

        profiles, why = bench_profiles(args, env, work)
        if profiles is None:
            print("empty datastore, %d profiles: skipped (%s)" % (PROFILES, why))
        else:
            print("empty datastore, %d profiles: %.1f ms, %.3f ms per profile, %.1f MiB" % (
                PROFILES, profiles[0] * 1e3, profiles[0] * 1e3 / PROFILES, profiles[1] / 2**20))

    print("(wall s and MiB peak resident memory are medians; cpu: user + system seconds)")
    print("targets:")
    by_size = {r["size"]: r for r in results}
    big, mid = by_size.get(1000000), by_size.get(100000)
    if big:
        ratio = big["wall"] / big["peer_wall"]
        print("  10^6 wall <= 1.0x sqlite3: %.2fx %s (CPU time %.2fx)" % (
            ratio, verdict(ratio <= 1.0), big["cpu"] / big["peer_cpu"]))
        share = big["rss"] / big["report"]
        print("  10^6 peak RSS <= 1.5x report: %.2fx %s" % (share, verdict(share <= 1.5)))
    if big and mid:
        growth_t = big["wall"] / mid["wall"]
        growth_m = big["rss"] / mid["rss"]
        print("  10^5 -> 10^6 growth <= 11x: time %.1fx %s, memory %.1fx %s" % (
            growth_t, verdict(growth_t <= 11), growth_m, verdict(growth_m <= 11)))
    if profiles is not None:
        per = profiles[0] * 1e3 / PROFILES
        print("  1,000 empty profiles < 0.2 ms each: %.3f ms %s" % (per, verdict(per < 0.2)))


if __name__ == "__main__":
    main()
