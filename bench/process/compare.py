# SPDX-License-Identifier: Apache-2.0
"""Times ombrel-cli making a self-signed .pfx against the openssl command line doing the
same job (req -x509 -newkey, then pkcs12 -export), interleaved in one run so that both see
the same machine load. Wall time is what a script waits; CPU time shows what the wait cost;
peak memory is the largest resident set of any one process of the job."""

import argparse
import os
import random
import shutil
import statistics
import sys
import tempfile
import time

TARGETS = {1024: 0.6, 2048: 0.75}  # ombrel-cli's time as a share of the openssl pipeline's
QUIET = [(os.POSIX_SPAWN_OPEN, fd, os.devnull, os.O_RDWR, 0) for fd in (0, 1, 2)]


def timed(argv):
    """Runs one process; returns (wall seconds, CPU seconds). posix_spawn starts it without
    copying this interpreter, so the wait is the program's own."""
    start = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=QUIET)
    _, status, usage = os.wait4(pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"failed: {' '.join(argv)}")
    return wall, usage.ru_utime + usage.ru_stime


def peak_kib(gnu_time, argv):
    """Peak resident set of one process. The kernel carries a parent's high-water mark into
    its child's figure, so the count is taken by GNU time, whose own is small, and not here."""
    report = "peak.txt"
    pid = os.posix_spawn(gnu_time, [gnu_time, "-f", "%M", "-o", report] + argv, os.environ,
                         file_actions=QUIET)
    _, status, _ = os.wait4(pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"failed: {' '.join(argv)}")
    with open(report) as f:
        return int(f.read().split()[-1])


def ombrel_job(cli, bits):
    return [[cli, "--common-name", "bench.example.test", "--key-length", str(bits), "--days", "365",
             "--serial", "1", "--password-file", "pass", "--force", "--out", "ombrel.pfx"]]


def openssl_job(openssl, bits):
    return [[openssl, "req", "-x509", "-newkey", f"rsa:{bits}", "-noenc", "-keyout", "key.pem",
             "-out", "cert.pem", "-subj", "/CN=bench.example.test", "-days", "365", "-set_serial", "1"],
            [openssl, "pkcs12", "-export", "-inkey", "key.pem", "-in", "cert.pem", "-out", "openssl.pfx",
             "-passout", "file:pass"]]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--runs", type=int, default=51, help="timed runs of each job")
    parser.add_argument("--warmup", type=int, default=3, help="rounds run first and not counted")
    parser.add_argument("--memory-runs", type=int, default=5, help="runs of each job under GNU time")
    parser.add_argument("--bits", default="1024 2048")
    args = parser.parse_args()

    cli = os.path.abspath(args.cli)
    openssl = shutil.which("openssl")
    gnu_time = shutil.which("time", path="/usr/bin:/bin")
    if not os.access(cli, os.X_OK) or not openssl or not gnu_time:
        sys.exit("needs a built ombrel-cli, the openssl command and GNU time")
    bits_list = [int(b) for b in args.bits.split()]
    jobs = [(tool, bits) for bits in bits_list for tool in ("ombrel-cli", "openssl")]
    commands = {(tool, bits): ombrel_job(cli, bits) if tool == "ombrel-cli" else openssl_job(openssl, bits)
                for tool, bits in jobs}
    times = {job: [] for job in jobs}
    peaks = {job: 0 for job in jobs}

    with tempfile.TemporaryDirectory(prefix="ombrel-bench.") as scratch:
        os.chdir(scratch)
        with open("pass", "w") as f:
            f.write("benchmark\n")
        for round_no in range(args.warmup + args.runs):
            # A new order each round, so that neither side always follows the other.
            order = jobs[:]
            random.shuffle(order)
            for job in order:
                samples = [timed(argv) for argv in commands[job]]
                if round_no >= args.warmup:
                    times[job].append((sum(s[0] for s in samples), sum(s[1] for s in samples)))
        for _ in range(args.memory_runs):
            for job in jobs:
                peaks[job] = max([peaks[job]] + [peak_kib(gnu_time, argv) for argv in commands[job]])
        os.chdir("/")

    print(f"Whole process: {args.runs} interleaved runs of each job after {args.warmup} warm-up rounds; "
          f"peak memory over {args.memory_runs} more; {os.cpu_count()} CPUs")
    print(f"{'bits':>5}  {'job':<27} {'median ms':>9} {'p25-p75 ms':>13} {'CPU ms':>7} {'peak MiB':>8}")
    for bits in bits_list:
        medians = {}
        for tool in ("ombrel-cli", "openssl"):
            walls = sorted(s[0] * 1000 for s in times[(tool, bits)])
            quartiles = statistics.quantiles(walls, n=4)
            medians[tool] = statistics.median(walls)
            cpu = statistics.median(s[1] * 1000 for s in times[(tool, bits)])
            name = "ombrel-cli" if tool == "ombrel-cli" else "openssl req -x509 + pkcs12"
            print(f"{bits:>5}  {name:<27} {medians[tool]:>9.1f} {quartiles[0]:>6.1f}-{quartiles[2]:<6.1f} "
                  f"{cpu:>7.1f} {peaks[(tool, bits)] / 1024:>8.1f}")
        ratio = medians["ombrel-cli"] / medians["openssl"]
        target = TARGETS.get(bits)
        verdict = "" if target is None else f"; target at most {target}x: {'met' if ratio <= target else 'NOT met'}"
        print(f"{bits:>5}  time ratio ombrel-cli / openssl: {ratio:.2f}x{verdict}")


if __name__ == "__main__":
    main()
