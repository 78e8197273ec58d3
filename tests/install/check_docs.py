#!/usr/bin/env python3
"""Every subcommand and option that `quorvane ... --help` shows must appear in
the manual page and in the bash completion: both are generated from the same
definitions, and this proves they never drift.

usage: check_docs.py QUORVANE MANPAGE BASH_COMPLETION"""
import re
import subprocess
import sys

quorvane, manpage, completion = sys.argv[1:4]
man = open(manpage, encoding="utf-8").read().replace("\\-", "-")
bash = open(completion, encoding="utf-8").read()


def help_of(path):
    return subprocess.run([quorvane, *path, "--help"], capture_output=True, text=True, check=True).stdout


def subcommands_of(text):
    names, inside = [], False
    for line in text.splitlines():
        if line.strip() in ("Subcommands:", "SUBCOMMANDS:"):
            inside = True
            continue
        if inside:
            if line.startswith("   ") or line.strip() == "":
                continue  # a description's continuation
            match = re.match(r"^  (\S+)", line)
            if not match:
                inside = False
                continue
            names.append(match.group(1))
    return names


missing = []
pending = [[]]
seen = 0
while pending:
    path = pending.pop()
    text = help_of(path)
    seen += 1
    options = set(re.findall(r"(?<![\w-])(--[a-z0-9][a-z0-9-]*|-[a-zA-Z])(?=[\s,=]|$)", text, re.M))
    for option in sorted(options):
        where = " ".join(["quorvane", *path])
        if option not in man:
            missing.append(f"{where}: {option} not in the manual page")
        if option not in bash:
            missing.append(f"{where}: {option} not in the bash completion")
    for sub in subcommands_of(text):
        title = " ".join(["quorvane", *path, sub])
        if f'.SS "{title}"' not in man:
            missing.append(f"{title}: no section in the manual page")
        if re.search(rf"[ \"=]{re.escape(sub)}[ \"]", bash) is None:
            missing.append(f"{title}: not in the bash completion")
        pending.append([*path, sub])

if seen < 2:
    missing.append("no subcommands found in --help")
print("\n".join(missing) if missing else f"{seen} help texts: every subcommand and option documented")
sys.exit(1 if missing else 0)
