#!/usr/bin/python3
"""Stops rootweave-chart at random moments (or aimed ones) while it overwrites a workbook, its picture and
its printed pages, and checks that every file is its old self or the complete new one and that nothing else
is left, in the target folder or in the temporary folder.

    /usr/bin/python3 tools/kill_check.py [path/to/rootweave-chart] [--runs 50] [--seed N] [--aimed]

Random mode: each run overwrites family.xls with family.svg and family-pages.pdf, or family.xlsx with
family.svg (in turn), and is stopped after a random time with SIGKILL, SIGTERM, SIGINT or SIGHUP.

Aimed mode (--aimed, needs strace): every rename is held for three seconds with strace's fault injection;
the tool is killed with SIGKILL while a draft waits for its rename, which is the one moment a kill can leave
one. The check expects exactly that draft, the files still old, and the draft gone after the next run that
writes into the folder.

Needs python3-xlrd, python3-openpyxl and pdfinfo (poppler-utils). Not part of the test suite: it takes a
few minutes.
"""

import argparse
import hashlib
import os
import random
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
import xml.dom.minidom

import openpyxl
import xlrd

SIGNALS = [signal.SIGKILL, signal.SIGTERM, signal.SIGINT, signal.SIGHUP]
MODE = 0o640


def command(tool, generations, name, outputs):
    cmd = [tool, "--generations", str(generations), "--name", name, "--output", outputs[0], "--picture", outputs[1]]
    return cmd + ["--print", outputs[2]] if len(outputs) > 2 else cmd


def start(cmd, folder, scratch):
    # Qt keeps its runtime folder in TMPDIR unless told otherwise; that folder is Qt's, not a left-over.
    runtime = os.path.join(os.path.dirname(scratch), "runtime")
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    env = dict(os.environ, TMPDIR=scratch, temp=scratch, XDG_RUNTIME_DIR=runtime)
    return subprocess.Popen(cmd, cwd=folder, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


# What a complete new file looks like; each returns a short description, compared with the reference's.
def shape_xls(path):
    sheet = xlrd.open_workbook(path, formatting_info=True).sheet_by_index(0)
    return (sheet.nrows, sheet.ncols)


def shape_xlsx(path):
    sheet = openpyxl.load_workbook(path).worksheets[0]
    return (sheet.max_row, sheet.max_column)


def shape_svg(path):
    root = xml.dom.minidom.parse(path).documentElement
    return (root.tagName, root.getAttribute("width"), root.getAttribute("height"))


def shape_pdf(path):
    info = subprocess.run(["pdfinfo", path], capture_output=True, text=True, check=True).stdout
    return [line for line in info.splitlines() if line.startswith(("Pages:", "Page size:"))]


SHAPES = {".xls": shape_xls, ".xlsx": shape_xlsx, ".svg": shape_svg, ".pdf": shape_pdf}


def shape(path):
    try:
        return SHAPES[os.path.splitext(path)[1]](path)
    except Exception as e:  # a cut-off file fails to parse in many ways
        return "unreadable: %s" % e


class Files:
    """The old and the new version of each output, made once by whole runs."""

    def __init__(self, tool, work):
        self.old, self.new = {}, {}
        reference = os.path.join(work, "reference")
        scratch = os.path.join(work, "reference-tmp")
        os.mkdir(reference)
        os.mkdir(scratch)
        self.whole = 0.0
        for outputs in (outputs_of(0), outputs_of(1)):
            for version, generations, name in (("old", 2, "Old"), ("new", 15, "New")):
                started = time.monotonic()
                if start(command(tool, generations, name, outputs), reference, scratch).wait() != 0:
                    sys.exit("could not make the %s %s" % (version, outputs[0]))
                if version == "new":
                    self.whole = max(self.whole, time.monotonic() - started)
                store = self.old if version == "old" else self.new
                for out in outputs:
                    path = os.path.join(reference, out)
                    with open(path, "rb") as f:
                        data = f.read()
                    store[out] = (data, hashlib.sha256(data).hexdigest(), shape(path))

    def lay_out_old(self, folder, outputs):
        for out in outputs:
            path = os.path.join(folder, out)
            with open(path, "wb") as f:
                f.write(self.old[out][0])
            os.chmod(path, MODE)

    def judge(self, folder, out):
        """'old', 'new', or a problem."""
        path = os.path.join(folder, out)
        if not os.path.exists(path):
            return "%s is gone" % out
        if stat.S_IMODE(os.stat(path).st_mode) != MODE:
            return "%s has mode %o" % (out, stat.S_IMODE(os.stat(path).st_mode))
        if digest(path) == self.old[out][1]:
            return "old"
        if shape(path) == self.new[out][2]:
            return "new"
        return "%s is neither the old file nor the complete new one" % out


def outputs_of(run):
    """The files one run writes: printed pages come from .xls workbooks only."""
    if run % 2 == 0:
        return ("family.xls", "family.svg", "family-pages.pdf")
    return ("family.xlsx", "family.svg")


def clear(folder):
    for entry in os.listdir(folder):
        path = os.path.join(folder, entry)
        if os.path.isdir(path) and not os.path.islink(path):
            shutil.rmtree(path)
        else:
            os.remove(path)


def tracee_of(tracer, tool):
    """The pid of the tool strace started, once it runs (strace forks short-lived helpers first)."""
    for _ in range(1000):
        try:
            with open("/proc/%d/task/%d/children" % (tracer.pid, tracer.pid)) as f:
                children = [int(c) for c in f.read().split()]
        except FileNotFoundError:
            return None
        for child in children:
            try:
                if os.readlink("/proc/%d/exe" % child) == tool:
                    return child
            except OSError:
                pass
        time.sleep(0.01)
    return None


def random_mode(tool, files, folder, scratch, runs, rng):
    counts = {}
    broken = 0
    moments = []
    for run in range(runs):
        outputs = outputs_of(run)
        clear(folder)
        files.lay_out_old(folder, outputs)
        moment = rng.uniform(0.0, files.whole * 1.1)
        moments.append(moment)
        sig = rng.choice(SIGNALS)
        process = start(command(tool, 15, "New", outputs), folder, scratch)
        time.sleep(moment)
        process.send_signal(sig)
        process.wait()

        problems = []
        for out in outputs:
            verdict = files.judge(folder, out)
            if verdict in ("old", "new"):
                key = (os.path.splitext(out)[1], verdict)
                counts[key] = counts.get(key, 0) + 1
            else:
                problems.append(verdict)
        left = sorted(set(os.listdir(folder)) - set(outputs))
        if left:
            problems.append("left in the target folder: %s" % left)
        if os.listdir(scratch):
            problems.append("left in the temporary folder: %s" % sorted(os.listdir(scratch)))
            clear(scratch)
        if problems:
            broken += 1
            print("run %d, %s after %.3f s: %s" % (run + 1, signal.Signals(sig).name, moment, "; ".join(problems)))

    print("%d stops (SIGKILL, SIGTERM, SIGINT, SIGHUP) between %.3f s and %.3f s (a whole run takes %.3f s)"
          % (runs, min(moments), max(moments), files.whole))
    for ext in (".xls", ".xlsx", ".svg", ".pdf"):
        print("  %-5s old intact %3d, new complete %3d" % (ext, counts.get((ext, "old"), 0), counts.get((ext, "new"), 0)))
    print("runs with a broken or left-over file (either folder): %d" % broken)
    return broken


def aimed_mode(tool, files, folder, scratch, runs, rng):
    broken = 0
    drafts_left = 0
    drafts_removed = 0
    for run in range(runs):
        outputs = outputs_of(run)
        clear(folder)
        files.lay_out_old(folder, outputs)
        cmd = ["strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=renameat,renameat2",
               "-e", "inject=renameat,renameat2:delay_enter=3000000"] + command(tool, 15, "New", outputs)
        tracer = start(cmd, folder, scratch)
        tool_pid = tracee_of(tracer, tool)
        # Wait for a draft to appear, then for a random moment inside the held rename.
        draft = None
        deadline = time.monotonic() + 60
        while draft is None and time.monotonic() < deadline and tracer.poll() is None:
            names = [n for n in os.listdir(folder) if n.startswith(".rw-")]
            draft = names[0] if names else None
            time.sleep(0.005)
        problems = []
        if draft is None:
            problems.append("no draft was seen")
        else:
            time.sleep(rng.uniform(0.0, 2.5))
        if tool_pid is None:
            problems.append("the tool was not found under strace")
        else:
            try:
                os.kill(tool_pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        tracer.wait()

        for out in outputs:
            verdict = files.judge(folder, out)
            if verdict != "old":
                problems.append("%s: %s" % (out, verdict) if verdict != "new" else "%s is already new" % out)
        left = sorted(set(os.listdir(folder)) - set(outputs))
        if left == [draft]:
            drafts_left += 1
        elif left:
            problems.append("left in the target folder: %s" % left)
        if os.listdir(scratch):
            problems.append("left in the temporary folder: %s" % sorted(os.listdir(scratch)))
            clear(scratch)

        # The next write into the folder removes the draft and writes every file whole.
        if start(command(tool, 15, "New", outputs), folder, scratch).wait() != 0:
            problems.append("the next run failed")
        for out in outputs:
            verdict = files.judge(folder, out)
            if verdict != "new":
                problems.append("after the next run %s: %s" % (out, verdict))
        left = sorted(set(os.listdir(folder)) - set(outputs))
        if left:
            problems.append("left after the next run: %s" % left)
        elif draft is not None:
            drafts_removed += 1
        if problems:
            broken += 1
            print("run %d: %s" % (run + 1, "; ".join(problems)))
    print("%d kills inside a held rename: drafts left by the kill %d, removed by the next run %d, "
          "files broken or not old at the kill %d" % (runs, drafts_left, drafts_removed, broken))
    return broken


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tool", nargs="?", default="build/src/cli/rootweave-chart")
    parser.add_argument("--runs", type=int, default=50)
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--aimed", action="store_true")
    args = parser.parse_args()
    tool = os.path.realpath(args.tool)
    rng = random.Random(args.seed)

    with tempfile.TemporaryDirectory(prefix="rw-kill-") as work:
        files = Files(tool, work)
        folder = os.path.join(work, "charts")
        scratch = os.path.join(work, "tmp")
        os.mkdir(folder)
        os.mkdir(scratch)
        mode = aimed_mode if args.aimed else random_mode
        return 1 if mode(tool, files, folder, scratch, args.runs, rng) else 0


if __name__ == "__main__":
    sys.exit(main())
