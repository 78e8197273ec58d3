#!/usr/bin/python3
"""The Dask job of examples/dask on a real, if small, cluster: a scheduler and
two single-threaded workers on 127.0.0.1, as separate processes. Over 500
recordings of varied keys and one input that cannot be read (a folder), its
merged JSON Lines must hold exactly the records of one
`quorvane dtmf --jsonl -j 1` over the same files, the folder's error record
included; with --blobs (the job's own local cluster, the bytes shipped from
here) the same, but for the folder's reason, which then comes from this side.

usage: cluster_test.py QUORVANE [WORK_DIR]"""
import concurrent.futures
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from distributed import Client

HERE = os.path.dirname(os.path.abspath(__file__))
JOB = os.path.join(HERE, "..", "..", "examples", "dask", "quorvane_dask.py")
RECORDINGS = 500
KEYS = "0123456789*#ABCD"
STEP_SECONDS = 300  # no step of a run that works takes a tenth of this


def keys_of(index):
    """One to four keys, different for neighbouring recordings."""
    length = 1 + index % 4
    return "".join(KEYS[(index * 7 + k * 5) % len(KEYS)] for k in range(length))


def make_recordings(quorvane, root):
    paths = []
    for i in range(RECORDINGS):
        folder = os.path.join(root, f"day {i % 5}")
        os.makedirs(folder, exist_ok=True)
        paths.append(os.path.join(folder, f"call-{i:03d}.pcm"))
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        done = pool.map(lambda i: subprocess.run([quorvane, "synth", "dtmf", keys_of(i), "-o", paths[i]],
                                                 capture_output=True, timeout=60, check=False).returncode,
                        range(RECORDINGS))
        if any(code != 0 for code in done):
            sys.exit("cluster test: quorvane synth dtmf failed")
    unreadable = os.path.join(root, "unreadable.pcm")  # a folder: no recording can be read from it
    os.mkdir(unreadable)
    return paths[:250] + [unreadable] + paths[250:]


def sorted_lines(data):
    return sorted(data.decode().splitlines())


def start(args, log):
    # A session of its own, so that the whole process group can be stopped.
    return subprocess.Popen(args, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)


def stop(process):
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGTERM)
        try:
            process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()


def run_job(args):
    began = time.monotonic()
    done = subprocess.run([sys.executable, JOB, *args], capture_output=True, timeout=STEP_SECONDS, check=False)
    return done, time.monotonic() - began


def check(condition, message, failures):
    print(("ok    " if condition else "FAIL  ") + message)
    if not condition:
        failures.append(message)


def main():
    quorvane = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="quorvane-cluster-", dir=sys.argv[2] if len(sys.argv) > 2 else None)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("cluster test: stopped"))
    processes = []
    failures = []
    log = None
    completed = False
    began_all = time.monotonic()
    try:
        paths = make_recordings(quorvane, os.path.join(work, "calls"))
        unreadable = paths[250]
        listing = os.path.join(work, "recordings.txt")
        with open(listing, "w", encoding="utf-8") as file:
            file.writelines(p + "\n" for p in paths)

        began = time.monotonic()
        single = subprocess.run([quorvane, "dtmf", "--jsonl", "-j", "1", *paths], capture_output=True,
                                timeout=STEP_SECONDS, check=False)
        print(f"one machine, -j 1: {time.monotonic() - began:.1f} s")
        check(single.returncode == 1, "one machine exits 1 for the folder", failures)
        expected = sorted_lines(single.stdout)
        folder_record = json.dumps({"file": unreadable, "error": "read failed: Is a directory"},
                                   separators=(",", ":"))
        check(folder_record in expected, "one machine gives the folder's error record", failures)
        check(sum('"done":true' in line for line in expected) == RECORDINGS, "one machine: a done line per recording",
              failures)

        log = open(os.path.join(work, "cluster.log"), "wb")
        scheduler_file = os.path.join(work, "scheduler.json")
        processes.append(start(["dask-scheduler", "--host", "127.0.0.1", "--port", "0", "--no-dashboard",
                                "--scheduler-file", scheduler_file], log))
        for n in range(2):
            processes.append(start(["dask-worker", "--scheduler-file", scheduler_file, "--host", "127.0.0.1",
                                    "--nthreads", "1", "--nworkers", "1", "--no-dashboard", "--name", f"worker-{n}",
                                    "--local-directory", os.path.join(work, f"worker-{n}"),
                                    "--death-timeout", "60"], log))
        deadline = time.monotonic() + 60
        while not os.path.exists(scheduler_file) and time.monotonic() < deadline:
            time.sleep(0.2)
        with open(scheduler_file, encoding="utf-8") as file:
            address = json.load(file)["address"]
        with Client(address, timeout=60) as client:
            client.wait_for_workers(2, timeout=60)
        print(f"scheduler at {address}, two workers")

        out = os.path.join(work, "cluster.jsonl")
        done, seconds = run_job(["dtmf", listing, "--scheduler", address, "--quorvane", quorvane,
                                 "--partition-size", "25", "-o", out])
        print(f"cluster, paths: {seconds:.1f} s")
        sys.stderr.buffer.write(done.stderr if done.returncode != 1 else b"")
        check(done.returncode == 1, "the job exits 1 for the folder", failures)
        with open(out, "rb") as file:
            check(sorted_lines(file.read()) == expected, "the cluster's records are those of one machine", failures)

        out = os.path.join(work, "blobs.jsonl")
        done, seconds = run_job(["dtmf", listing, "--blobs", "--quorvane", quorvane, "--partition-size", "25",
                                 "-o", out])
        print(f"local cluster, blobs: {seconds:.1f} s")
        sys.stderr.buffer.write(done.stderr if done.returncode != 1 else b"")
        check(done.returncode == 1, "the job with --blobs exits 1 for the folder", failures)
        with open(out, "rb") as file:
            got = sorted_lines(file.read())
        folder_lines = [line for line in got if json.loads(line)["file"] == unreadable]
        check(len(folder_lines) == 1 and "error" in json.loads(folder_lines[0]),
              "with --blobs the folder has one error record", failures)
        check([line for line in got if line not in folder_lines] == [line for line in expected if line != folder_record],
              "with --blobs the recordings' records are those of one machine", failures)
        completed = True
    finally:
        for process in reversed(processes):
            stop(process)
        if log is not None:
            log.close()
            if failures or not completed:
                with open(log.name, "rb") as file:
                    sys.stderr.buffer.write(b"".join(file.readlines()[-40:]))
        shutil.rmtree(work, ignore_errors=True)
    print(f"cluster test: {time.monotonic() - began_all:.1f} s in all")
    if failures:
        sys.exit(f"cluster test: {len(failures)} failed")
    print("cluster test: passed")


if __name__ == "__main__":
    main()
