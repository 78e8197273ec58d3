#!/usr/bin/python3
"""Streams hours of generated line audio through standard input into
`quorvane dtmf --jsonl -` and `quorvane callerid --detector robust --jsonl -`
side by side, and checks that every key and every caller-ID message comes
out, in order, while each process's memory stays flat.

usage: soak.py QUORVANE [--hours H]

The audio is a loop of 8 kHz mu-law blocks made once: keys, caller-ID bursts,
espeak-ng speech and white noise, in turn. Prints one line of figures per
command; exits 1 when an event is missing or memory grows.
"""
import argparse
import json
import os
import random
import resource
import subprocess
import sys
import tempfile
import threading
import time

RATE = 8000
SPEECH = [
    ("en", "The quarterly figures were better than expected, and the meeting ran long."),
    ("de", "Der Zug nach Hamburg hat heute leider zwanzig Minuten Verspaetung."),
    ("fr", "Nous avons rendez-vous demain matin a neuf heures devant la gare."),
    ("es", "La llamada se corto dos veces antes de que pudiera dejar el mensaje."),
    ("it", "Per favore richiamami quando hai finito di lavorare questa sera."),
]
KEY_CYCLES = ["159#", "2468*0", "37AD", "BC90"]
NUMBERS = ["5551234", "4045550199", "2125550123", "8005550100"]
# Memory may settle during the first tenth of the run; after that, a process
# that grows by more than this is keeping something per event or per second.
GROWTH_LIMIT_KB = 4096


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def make_blocks(quorvane, folder):
    """One block per cycle: keys, speech, a burst, speech, noise, keys."""
    speech = []
    for i, (language, text) in enumerate(SPEECH):
        wav = os.path.join(folder, f"speech{i}.wav")
        raw = os.path.join(folder, f"speech{i}.ul")
        run("espeak-ng", "-v", language, "-w", wav, text)
        run("sox", wav, "-r", "8000", "-c", "1", "-e", "mu-law", "-b", "8", "-t", "raw", raw, "gain", "-n", "-16")
        speech.append(read(raw))
    noise = os.path.join(folder, "noise.ul")
    run("sox", "-n", "-r", "8000", "-c", "1", "-e", "mu-law", "-b", "8", "-t", "raw", noise,
        "synth", "2", "whitenoise", "vol", "0.02")
    silence = b"\xff" * (RATE // 2)
    blocks = []
    for i, (keys, number) in enumerate(zip(KEY_CYCLES, NUMBERS)):
        keys_path = os.path.join(folder, f"keys{i}.ul")
        burst_path = os.path.join(folder, f"burst{i}.ul")
        run(quorvane, "synth", "dtmf", keys, "-o", keys_path)
        run(quorvane, "synth", "callerid", "--number", number, "-o", burst_path)
        audio = (read(keys_path) + silence + speech[i % len(speech)] + silence + read(burst_path) + silence +
                 speech[(i + 1) % len(speech)] + read(noise) + silence)
        blocks.append((audio, keys, number))
    return blocks


class Consumer:
    """One quorvane process: its events counted as they come, its memory sampled."""

    def __init__(self, command):
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0)
        self.keys = []
        self.numbers = []
        self.done = None
        self.rss = []  # (seconds of audio fed, VmRSS kB)
        self.reader = threading.Thread(target=self.read_events, daemon=True)
        self.reader.start()

    def read_events(self):
        for line in self.process.stdout:
            event = json.loads(line)
            if event.get("done"):
                self.done = event
            elif "digit" in event:
                self.keys.append(event["digit"])
            elif "number" in event:
                self.numbers.append(event["number"])

    def sample_memory(self, fed_seconds):
        try:
            with open(f"/proc/{self.process.pid}/status") as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        self.rss.append((fed_seconds, int(line.split()[1])))
        except FileNotFoundError:
            pass


def cpu_seconds_of_children():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("quorvane")
    parser.add_argument("--hours", type=float, default=1000)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as folder:
        blocks = make_blocks(args.quorvane, folder)
    consumers = {
        "dtmf": Consumer([args.quorvane, "dtmf", "--jsonl", "-"]),
        "callerid --detector robust": Consumer([args.quorvane, "callerid", "--detector", "robust", "--jsonl", "-"]),
    }
    total = int(args.hours * 3600 * RATE)
    fed = 0
    expected_keys = []
    expected_numbers = []
    order = random.Random(1)
    next_sample = 0
    started = time.monotonic()
    while fed < total:
        audio, keys, number = blocks[order.randrange(len(blocks))]
        if fed + len(audio) > total:
            break
        for consumer in consumers.values():
            consumer.process.stdin.write(audio)
        fed += len(audio)
        expected_keys.extend(keys)
        expected_numbers.append(number)
        if fed >= next_sample:
            for consumer in consumers.values():
                consumer.sample_memory(fed / RATE)
            next_sample = fed + 60 * RATE * max(1, int(args.hours))  # about 60 readings a run
    for consumer in consumers.values():
        consumer.sample_memory(fed / RATE)
        consumer.process.stdin.close()
    for consumer in consumers.values():
        consumer.process.wait()
        consumer.reader.join()
    wall = time.monotonic() - started
    cpu = cpu_seconds_of_children()

    hours = fed / RATE / 3600
    print(f"soak: {hours:.1f} hours of audio ({fed} samples), {len(expected_keys)} keys and "
          f"{len(expected_numbers)} caller-ID messages sent; {wall:.0f} s wall, {cpu:.0f} s CPU in all")
    failed = False
    for name, consumer in consumers.items():
        got, want = (consumer.keys, expected_keys) if name == "dtmf" else (consumer.numbers, expected_numbers)
        settled = [kb for seconds, kb in consumer.rss if seconds >= fed / RATE / 10] or [0]
        first, peak = settled[0], max(settled)
        missing = len(want) - len(got) if got[: len(want)] == want[: len(got)] else None
        ok = consumer.process.returncode == 0 and got == want and peak - first <= GROWTH_LIMIT_KB
        print(f"{name}: {len(got)} of {len(want)} events, "
              f"{'in order' if got == want else 'NOT as sent' + ('' if missing is None else f' ({missing} missing)')}; "
              f"memory {first} kB after the first tenth, at most {peak} kB; exit {consumer.process.returncode}"
              f" -> {'ok' if ok else 'FAILED'}")
        failed |= not ok
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
