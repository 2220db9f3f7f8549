#!/usr/bin/python3
"""Kills rootweave-chart with SIGKILL at random moments while it overwrites a workbook, and checks that
each time the folder holds the old workbook intact or the new one complete, and nothing else.

    /usr/bin/python3 tools/kill_check.py [path/to/rootweave-chart] [--runs 50] [--seed N]

Needs python3-xlrd. Not part of the test suite: it takes about a minute.
"""

import argparse
import hashlib
import os
import random
import signal
import stat
import subprocess
import sys
import tempfile
import time

import xlrd


def run_tool(tool, folder, generations, name, output):
    return subprocess.Popen(
        [tool, "--generations", str(generations), "--name", name, "--output", output],
        cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def opens(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    return sheet.nrows, sheet.ncols


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tool", nargs="?", default="build/src/cli/rootweave-chart")
    parser.add_argument("--runs", type=int, default=50)
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()
    tool = os.path.abspath(args.tool)
    rng = random.Random(args.seed)

    with tempfile.TemporaryDirectory(prefix="rw-kill-") as work:
        reference = os.path.join(work, "reference")
        folder = os.path.join(work, "charts")
        os.mkdir(reference)
        os.mkdir(folder)
        # The old workbook (2 generations, owner and group only) and the new one as a whole run writes it.
        if run_tool(tool, reference, 2, "Old", "old.xls").wait() != 0:
            sys.exit("could not make the old workbook")
        started = time.monotonic()
        if run_tool(tool, reference, 15, "New", "new.xls").wait() != 0:
            sys.exit("could not make the new workbook")
        whole = time.monotonic() - started
        with open(os.path.join(reference, "old.xls"), "rb") as f:
            old_bytes = f.read()
        old_sum = hashlib.sha256(old_bytes).hexdigest()
        new_sum = digest(os.path.join(reference, "new.xls"))
        new_shape = opens(os.path.join(reference, "new.xls"))

        target = os.path.join(folder, "family.xls")
        counts = {"old": 0, "new": 0, "bad": 0}
        moments = []
        for run in range(args.runs):
            with open(target, "wb") as f:
                f.write(old_bytes)
            os.chmod(target, 0o640)
            moment = rng.uniform(0.0, whole * 1.1)
            moments.append(moment)
            process = run_tool(tool, folder, 15, "New", "family.xls")
            time.sleep(moment)
            process.send_signal(signal.SIGKILL)
            process.wait()

            problems = []
            entries = sorted(os.listdir(folder))
            if entries != ["family.xls"]:
                problems.append("folder holds %s" % entries)
            outcome = "bad"
            if os.path.exists(target):
                now = digest(target)
                if now == old_sum:
                    outcome = "old"
                elif now == new_sum and opens(target) == new_shape:
                    outcome = "new"
                else:
                    problems.append("family.xls is neither the old workbook nor the complete new one")
                if stat.S_IMODE(os.stat(target).st_mode) != 0o640:
                    problems.append("mode %o" % stat.S_IMODE(os.stat(target).st_mode))
            else:
                problems.append("family.xls is gone")
            if problems:
                outcome = "bad"
                print("run %d, killed after %.3f s: %s" % (run + 1, moment, "; ".join(problems)))
            counts[outcome] += 1
            for entry in os.listdir(folder):
                if entry != "family.xls":
                    os.remove(os.path.join(folder, entry))

        print("%d kills between %.3f s and %.3f s (a whole run takes %.3f s): old workbook intact %d, "
              "new workbook complete %d, broken or left-over files %d"
              % (args.runs, min(moments), max(moments), whole, counts["old"], counts["new"], counts["bad"]))
        return 1 if counts["bad"] else 0


if __name__ == "__main__":
    sys.exit(main())
