#!/usr/bin/env python3
"""Times ostrelin against the sqlite3 shell's CSV exports of the same file.

For every size: a fresh datastore made by kelodb generate in a temporary
folder (fixed seed, 5 users of this machine, 365 days), then one untimed
warm-up and several timed runs of each, alternating, on that one file:
ostrelin; the ordered peer (the same visits in ostrelin's order, local date
text); the plain dump (select * from visits); and the stand-in's read alone
(the rows and columns the stand-in reads, counted by the shell), which tells
the program's own share apart. Prints medians of wall time, CPU time and peak
resident memory, the ratios, the cost per visit and the report's size; then an
empty datastore with 1,000 profiles; with --scale, 10^7 visits over 50
profiles; and last the targets with what was measured.
"""

import argparse
import json
import os
import pwd
import shutil
import statistics
import subprocess
import sys
import sqlite3
import tempfile
import time

SEED = "42"
DAYS = 365
PROFILES = 1000
SCALE_VISITS = 10000000
SCALE_USERS = 50
PLAIN_SQL = "select * from visits"


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
        "WHERE v.time_ms >= %s ORDER BY u.sid, v.time_ms, v.id;" % window_start_sql(days))


def window_start_sql(days):
    return ("(CAST(strftime('%%s', 'now', 'start of day', '-%d days') AS INTEGER) * 1000)"
            % days)


def read_sql(datastore, days):
    """What the stand-in reads for each user of the file: its visits in the
    window, oldest first, the columns it copies; the shell only counts them."""
    with sqlite3.connect("file:%s?mode=ro" % datastore, uri=True) as database:
        ids = [row[0] for row in database.execute("SELECT id FROM users ORDER BY sid")]
    return "".join(
        "SELECT count(id), sum(time_ms), sum(allowed), sum(length(CAST(url AS BLOB))), "
        "sum(length(categories)) FROM (SELECT id, time_ms, allowed, url, categories "
        "FROM visits WHERE user_id = %d AND time_ms >= %s ORDER BY time_ms, id);"
        % (user, window_start_sql(days)) for user in ids)


def report_rows(path):
    """Rows of a UTF-16LE report, its header not counted."""
    with open(path, "rb") as report:
        return report.read().decode("utf-16").count("\n") - 1


def medians(samples):
    """Median wall time, peak memory and CPU time."""
    return tuple(statistics.median(sample[i] for sample in samples) for i in range(3))


PEERS = ("ordered", "plain", "read")


def bench_size(args, size, users, env, work):
    datastore = os.path.join(work, "visits-%d.db" % size)
    subprocess.run([args.kelodb, "generate", "--db", datastore, "--visits", str(size),
                    "--users", users, "--days", str(DAYS), "--seed", SEED], check=True,
                   stdout=subprocess.DEVNULL)
    run_env = dict(env, KELO_DATASTORE=datastore)
    report = os.path.join(work, "report.csv")
    outputs = {peer: os.path.join(work, peer + ".csv") for peer in PEERS}
    commands = {
        "ordered": [args.sqlite3, "-readonly", "-csv", datastore, peer_sql(DAYS)],
        "plain": [args.sqlite3, "-readonly", "-csv", datastore, PLAIN_SQL],
        "read": [args.sqlite3, "-readonly", "-csv", datastore, read_sql(datastore, DAYS)],
    }
    ours = []
    theirs = {peer: [] for peer in PEERS}
    for run in range(args.runs + 1):
        sample = measure([args.ostrelin, "-o:" + report], env=run_env)
        peers = {}
        for peer in PEERS:
            with open(outputs[peer], "wb") as sink:
                peers[peer] = measure(commands[peer], env=env, stdout=sink)
        if run > 0:  # the first run only warms the file cache
            ours.append(sample)
            for peer in PEERS:
                theirs[peer].append(peers[peer])
    rows = report_rows(report)
    counted = {}
    for peer in ("ordered", "plain"):
        with open(outputs[peer], "rb") as peer_file:
            counted[peer] = sum(1 for _ in peer_file)
    with open(outputs["read"]) as read_file:
        counted["read"] = sum(int(line.split(",")[0]) for line in read_file)
    if rows != size or any(count != size for count in counted.values()):
        sys.exit("size %d: ostrelin wrote %d rows, the peers %s" % (size, rows, counted))
    result = {"size": size, "report": os.path.getsize(report),
              "plain_bytes": os.path.getsize(outputs["plain"])}
    result["wall"], result["rss"], result["cpu"] = medians(ours)
    for peer in PEERS:
        result[peer + "_wall"], result[peer + "_rss"], result[peer + "_cpu"] = medians(
            theirs[peer])
    for path in [datastore, report] + list(outputs.values()):
        os.remove(path)
    return result


def in_namespace(args, env, extra):
    """Runs this script again in a private mount namespace (unshare, so root)
    with `extra` arguments; returns its last output line, or None and why."""
    if shutil.which("unshare") is None:
        return None, "no unshare"
    command = [shutil.which("unshare"), "--mount", "--propagation", "private",
               sys.executable, os.path.abspath(__file__), "--in-namespace", "--bin", args.bin,
               "--runs", str(args.runs), "--scale-visits", str(args.scale_visits)] + (
                   ["--tz", args.tz] if args.tz is not None else []) + extra
    child = subprocess.run(command, env=env, capture_output=True, text=True)
    if child.returncode != 0:
        reason = child.stderr.strip().splitlines()
        return None, reason[-1] if reason else "unshare failed"
    return child.stdout.strip().splitlines()[-1], None


def mount_profiles(work, count):
    """A user database of `count` generated profiles bind-mounted over
    /etc/passwd, seen only inside this namespace; their SIDs."""
    passwd = os.path.join(work, "passwd")
    with open(passwd, "w") as entries:
        for i in range(count):
            entries.write("bench%04d:x:%d:%d::/nonexistent:/usr/sbin/nologin\n" % (
                i, 200000 + i, 200000 + i))
    subprocess.run(["mount", "--bind", passwd, "/etc/passwd"], check=True)
    seen = len(pwd.getpwall())
    if seen != count:
        sys.exit("the namespace shows %d profiles, not %d" % (seen, count))
    return ["S-1-22-1-%d" % (200000 + i) for i in range(count)]


def bench_profiles(args, env, work):
    """An empty datastore and a user database of 1,000 profiles. The profiles
    are a generated passwd file bind-mounted over /etc/passwd in a private
    mount namespace of this process alone (unshare), so ostrelin reads them
    through getpwent as it reads the real ones; the machine's own list is not
    touched. Returns None, and why, where that cannot be done."""
    if not args.in_namespace:
        line, why = in_namespace(args, env, ["--profiles-only"])
        if line is None:
            return None, why
        wall, rss, cpu = line.split()
        return (float(wall), int(rss), float(cpu)), None

    mount_profiles(work, PROFILES)
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


def bench_scale(args, env, work):
    """10^7 visits over 50 profiles, the profiles made as for the 1,000 empty
    ones (a private mount namespace)."""
    if not args.in_namespace:
        line, why = in_namespace(args, env, ["--scale-only"])
        return (None, why) if line is None else (json.loads(line), None)
    users = ",".join(mount_profiles(work, SCALE_USERS))
    return bench_size(args, args.scale_visits, users, env, work), None


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


def print_header():
    print("%-8s %8s %8s %8s %6s %6s %8s %8s %8s %8s %8s %8s %8s %7s %10s" % (
        "visits", "ostr_s", "plain_s", "order_s", "/plain", "/order", "ostr_cpu", "plaincpu",
        "ordercpu", "read_cpu", "own_cpu", "own_ns/v", "ostr_MiB", "RSS/rep", "report_MiB"))


def print_size(r):
    own = r["cpu"] - r["read_cpu"]
    print("%-8d %8.3f %8.3f %8.3f %6.2f %6.2f %8.3f %8.3f %8.3f %8.3f %8.3f %8.0f %8.1f %7.2f "
          "%10.1f" % (
              r["size"], r["wall"], r["plain_wall"], r["ordered_wall"],
              r["wall"] / r["plain_wall"], r["wall"] / r["ordered_wall"], r["cpu"],
              r["plain_cpu"], r["ordered_cpu"], r["read_cpu"], own, own * 1e9 / r["size"],
              r["rss"] / 2**20, r["rss"] / r["report"], r["report"] / 2**20), flush=True)


def print_targets(results, profiles):
    print("targets:")
    by_size = {r["size"]: r for r in results}
    big = by_size.get(1000000)
    if big:
        plain = big["wall"] / big["plain_wall"]
        ordered = big["wall"] / big["ordered_wall"]
        print("  10^6 wall <= 1.0x plain dump: %.2fx %s (CPU time %.2fx)" % (
            plain, verdict(plain <= 1.0), big["cpu"] / big["plain_cpu"]))
        print("  10^6 wall <= 0.7x ordered peer: %.2fx %s (CPU time %.2fx)" % (
            ordered, verdict(ordered <= 0.7), big["cpu"] / big["ordered_cpu"]))
    for size in (1000000, SCALE_VISITS):
        if size in by_size:
            share = by_size[size]["rss"] / by_size[size]["report"]
            print("  %d peak RSS <= 1.2x report: %.2fx %s" % (size, share, verdict(share <= 1.2)))
    for low, high in ((100000, 1000000), (1000000, SCALE_VISITS)):
        if low in by_size and high in by_size:
            growth_t = by_size[high]["wall"] / by_size[low]["wall"]
            growth_c = by_size[high]["cpu"] / by_size[low]["cpu"]
            growth_m = by_size[high]["rss"] / by_size[low]["rss"]
            print("  %d -> %d growth <= 11x: time %.1fx %s (CPU %.1fx), memory %.1fx %s" % (
                low, high, growth_t, verdict(growth_t <= 11), growth_c, growth_m,
                verdict(growth_m <= 11)))
    if profiles is not None:
        per = profiles[0] * 1e3 / PROFILES
        print("  1,000 empty profiles < 0.2 ms each: %.3f ms %s" % (per, verdict(per < 0.2)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder with ostrelin and kelodb")
    parser.add_argument("--sizes", default="10000,100000,1000000")
    parser.add_argument("--runs", type=int, default=5, help="timed runs of each program")
    parser.add_argument("--tz", help="TZ for both programs (default: as inherited)")
    parser.add_argument("--scale", action="store_true",
                        help="also 10^7 visits over 50 profiles (root, unshare; long)")
    parser.add_argument("--scale-visits", type=int, default=SCALE_VISITS, help=argparse.SUPPRESS)
    parser.add_argument("--profiles-only", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--scale-only", action="store_true", help=argparse.SUPPRESS)
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
        if args.scale_only:
            result, _ = bench_scale(args, env, work)
            print(json.dumps(result))
            return

        users = ",".join("S-1-22-1-%d" % entry.pw_uid for entry in pwd.getpwall()[:5])
        print(machine())
        print("median of %d runs each; TZ=%s; seed %s, 5 users, %d days" % (
            args.runs, env.get("TZ", "(unset)"), SEED, DAYS))
        print_header()
        results = []
        sizes = [int(s) for s in args.sizes.split(",")] if args.sizes else []
        for size in sizes:
            results.append(bench_size(args, size, users, env, work))
            print_size(results[-1])
        if args.scale:
            scale, why = bench_scale(args, env, work)
            if scale is None:
                print("%d visits over %d profiles: skipped (%s)" % (args.scale_visits,
                                                                     SCALE_USERS, why))
            else:
                print("%d visits over %d profiles:" % (args.scale_visits, SCALE_USERS))
                results.append(scale)
                print_size(scale)

        profiles, why = bench_profiles(args, env, work)
        if profiles is None:
            print("empty datastore, %d profiles: skipped (%s)" % (PROFILES, why))
        else:
            print("empty datastore, %d profiles: %.1f ms, %.3f ms per profile, %.1f MiB" % (
                PROFILES, profiles[0] * 1e3, profiles[0] * 1e3 / PROFILES, profiles[1] / 2**20))

    print("(wall s and MiB peak resident memory are medians; cpu: user + system seconds;")
    print(" read: the stand-in's read of the rows alone, by the sqlite3 shell; own: ostrelin's")
    print(" CPU time less that read; load average now %.2f)" % os.getloadavg()[0])
    print_targets(results, profiles)


if __name__ == "__main__":
    main()
