#!/usr/bin/python3
"""Runs `quorvane dtmf` or `quorvane callerid` over a list of recordings on a
Dask cluster and writes the JSON Lines of every recording.

The list is split into partitions of --partition-size paths; each partition
is one task, run on a worker as

    quorvane COMMAND --jsonl -j 1 --files-from - -0 [OPTIONS]

with the partition's paths on its standard input. Every record names its
file, so the partitions' outputs are simply written one after another, in
the order the partitions finish (sort the output for a fixed order).

Where the workers cannot open the paths, --blobs reads each recording on
this machine and ships its bytes; the worker pipes them through
`quorvane COMMAND --jsonl -j 1 --label PATH -`, so the records still carry
the path as it is in the list.

Without --scheduler, a cluster of two worker processes on 127.0.0.1 is
started for the run and stopped after it.

Exit status: 0 every recording read; 1 a recording could not be read (its
record holds the reason; the others are still done); 2 a usage error, a
worker without quorvane, or a task that failed otherwise.

Usage:
  quorvane_dask.py [--scheduler tcp://HOST:8786] [--blobs] [--partition-size N]
                   [--quorvane PATH] [-o OUT.jsonl] {dtmf,callerid} LIST [-- OPTION...]
"""
import argparse
import itertools
import json
import os
import shutil
import subprocess
import sys

from distributed import Client, LocalCluster, as_completed

EXIT_OK, EXIT_UNREADABLE, EXIT_FAILED = 0, 1, 2


def quorvane_version(quorvane):
    """On a worker: `quorvane --version`, or None when it cannot be run."""
    if shutil.which(quorvane) is None:
        return None
    done = subprocess.run([quorvane, "--version"], capture_output=True, text=True, check=False)
    return done.stdout.strip() if done.returncode == 0 else None


def run_paths(quorvane, command, options, paths):
    """On a worker: one quorvane process over a partition of paths."""
    done = subprocess.run(
        [quorvane, command, "--jsonl", "-j", "1", "--files-from", "-", "-0", *options],
        input=b"".join(os.fsencode(p) + b"\0" for p in paths),
        capture_output=True,
        check=False,
    )
    return done.returncode, done.stdout, done.stderr


def run_blobs(quorvane, command, options, blobs):
    """On a worker: each recording's bytes through quorvane's standard input,
    named by --label. A blob the client could not read comes with its error
    record instead of bytes."""
    status, out, err = EXIT_OK, [], []
    for name, data, failure in blobs:
        if failure is not None:
            status = max(status, EXIT_UNREADABLE)
            out.append(failure)
            continue
        done = subprocess.run(
            [quorvane, command, "--jsonl", "-j", "1", *options, "--label", name, "-"],
            input=data,
            capture_output=True,
            check=False,
        )
        # A signal (a negative code) counts as the worst.
        status = max(status, done.returncode if done.returncode >= 0 else 128 - done.returncode)
        out.append(done.stdout)
        err.append(done.stderr)
    return status, b"".join(out), b"".join(err)


def read_blob(path):
    """(path, bytes, None), or (path, None, the error record) when it cannot be read here."""
    try:
        with open(path, "rb") as file:
            return path, file.read(), None
    except OSError as error:
        reason = error.strerror or str(error)
        print(f"quorvane_dask: {path}: {reason}", file=sys.stderr)
        record = json.dumps({"file": path, "error": reason}, ensure_ascii=False, separators=(",", ":"))
        return path, None, (record + "\n").encode()


def read_list(path):
    """The paths of a list file (- for standard input), one a line, empty lines skipped."""
    if path == "-":
        text = sys.stdin.buffer.read()
    else:
        with open(path, "rb") as file:
            text = file.read()
    return [os.fsdecode(line) for line in text.split(b"\n") if line]


def partitions(paths, size):
    return [paths[i : i + size] for i in range(0, len(paths), size)]


def parse_args(argv):
    parser = argparse.ArgumentParser(
        description="Run quorvane dtmf or callerid over a list of recordings on a Dask cluster.",
        epilog="Options after -- go to quorvane (e.g. -- --detector robust).",
    )
    parser.add_argument("command", choices=["dtmf", "callerid"])
    parser.add_argument("list", help="a text file of recording paths, one a line (- for standard input)")
    parser.add_argument("--scheduler", help="address of a running scheduler, e.g. tcp://host:8786; "
                        "without it, two local worker processes are started")
    parser.add_argument("--blobs", action="store_true",
                        help="read the recordings here and ship their bytes to the workers")
    parser.add_argument("--partition-size", type=int, default=64, metavar="N",
                        help="recordings per task (default 64)")
    parser.add_argument("--quorvane", default="quorvane", help="the binary on the workers (default: quorvane on PATH)")
    parser.add_argument("-o", "--output", default="-", help="where the JSON Lines go (default: standard output)")
    # What follows -- is quorvane's, untouched.
    split = argv.index("--") if "--" in argv else len(argv)
    args = parser.parse_args(argv[:split])
    args.options = argv[split + 1 :]
    if args.partition_size < 1:
        parser.error("--partition-size must be at least 1")
    return args


def run(client, args, paths):
    versions = client.run(quorvane_version, args.quorvane)
    missing = sorted(worker for worker, version in versions.items() if version is None)
    if not versions or missing:
        print(f"quorvane_dask: {args.quorvane} cannot be run on: {', '.join(missing) or 'any worker'}", file=sys.stderr)
        return EXIT_FAILED

    def submit(part):
        if args.blobs:
            return client.submit(run_blobs, args.quorvane, args.command, args.options,
                                 [read_blob(p) for p in part], pure=False)
        return client.submit(run_paths, args.quorvane, args.command, args.options, part, pure=False)

    # A few partitions per worker in flight: the client holds neither every
    # partition's bytes nor every result at once.
    waiting = iter(partitions(paths, args.partition_size))
    running = as_completed()
    for part in itertools.islice(waiting, 2 * len(versions)):
        running.add(submit(part))
    out = sys.stdout.buffer if args.output == "-" else open(args.output, "wb")
    status = EXIT_OK
    try:
        for future in running:
            code, records, errors = future.result()
            future.release()
            part = next(waiting, None)
            if part is not None:
                running.add(submit(part))
            out.write(records)
            out.flush()
            sys.stderr.buffer.write(errors)
            if code == EXIT_UNREADABLE:
                status = max(status, EXIT_UNREADABLE)
            elif code != EXIT_OK:
                print(f"quorvane_dask: a task ended with exit status {code}", file=sys.stderr)
                status = EXIT_FAILED
    finally:
        if out is not sys.stdout.buffer:
            out.close()
    return status


def main(argv):
    args = parse_args(argv)
    paths = read_list(args.list)
    if args.scheduler:
        with Client(args.scheduler) as client:
            return run(client, args, paths)
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        return run(client, args, paths)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
