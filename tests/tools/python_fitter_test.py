#!/usr/bin/env python3
"""Runs the Python example fitting program on a demo task as Zelk would, and
reads what it wrote with zelk-fit and zelk-render.

Usage: python_fitter_test.py FIT_PY ZELK_FIT ZELK_RENDER
Exit status 77 (skipped) when numpy or scipy is not installed.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77


def fail(text):
    print("FAIL: " + text)
    sys.exit(1)


def first_number(path):
    with open(path) as f:
        match = re.search(r"[-+]?\d+(\.\d*)?([eE][-+]?\d+)?", f.readline())
    if not match:
        fail("%s holds no number on its first line" % path)
    return float(match.group(0))


def set_task_line(folder, index, value):
    path = os.path.join(folder, "START_A.INP")
    with open(path) as f:
        lines = f.read().split("\n")
    lines[index] = value
    with open(path, "w") as f:
        f.write("\n".join(lines))


def python_with_scipy():
    """The first python3 that has numpy and scipy: the one running this test,
    the one on PATH, or the system's."""
    for candidate in (sys.executable, shutil.which("python3"), "/usr/bin/python3"):
        if candidate and subprocess.run(
                [candidate, "-c", "import numpy, scipy.optimize"],
                capture_output=True).returncode == 0:
            return candidate
    return None


def run_as_zelk_does(program, folder, env):
    """The program as named, its name as the only argument, in the task folder."""
    return subprocess.run([program], cwd=folder, capture_output=True, text=True,
                          stdin=subprocess.DEVNULL, timeout=600, env=env)


def main():
    fit_py, zelk_fit, zelk_render = (os.path.abspath(a) for a in sys.argv[1:4])
    python = python_with_scipy()
    if python is None:
        print("SKIP: the Python example needs a python3 with numpy and scipy "
              "(Debian: python3-scipy)")
        return SKIP

    root = tempfile.mkdtemp(prefix="zelk python fitter ")
    try:
        # fit.py starts with "#!/usr/bin/env python3": that name must lead to
        # the interpreter that has scipy.
        bin_dir = os.path.join(root, "bin")
        os.mkdir(bin_dir)
        os.symlink(python, os.path.join(bin_dir, "python3"))
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ.get("PATH", ""))

        demo = os.path.join(root, "demo task")
        subprocess.run([zelk_fit, "--make-demo", demo], check=True, capture_output=True)
        set_task_line(demo, 10, fit_py)

        run = run_as_zelk_does(fit_py, demo, env)
        if run.returncode != 0:
            fail("fit.py ended with %d:\n%s%s" % (run.returncode, run.stdout, run.stderr))
        with open(os.path.join(demo, "demo.res")) as f:
            header = f.readline().split()
            rows = [line.split() for line in f if line.strip()]
        if header != ["401", "3", "x", "sampleA", "sampleB", "sampleC"]:
            fail("result header %r" % header)
        if len(rows) != 401 or any(len(r) != 4 for r in rows):
            fail("the result holds %d rows, not 401 of 4 numbers" % len(rows))
        eps = first_number(os.path.join(demo, "EPS.res"))
        if not 0.8 < eps < 1.2:
            fail("EPS %g is not near 1" % eps)
        leftovers = [n for n in os.listdir(demo) if n.startswith(".")]
        if leftovers:
            fail("temporary files left behind: %r" % leftovers)

        # Zelk's own reading of the run: no message, the fit's EPS drawn.
        render = subprocess.run([zelk_render, "--dir", demo, "--fit-runs", "1", "--ops", "-"],
                                capture_output=True, text=True,
                                env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        messages = [l for l in render.stderr.splitlines() if l.startswith("zelk-render")]
        if render.returncode != 0 or messages:
            fail("zelk-render: status %d: %s" % (render.returncode, render.stderr))
        shown = re.search(r"^text \d+ \d+  EPS = +([-0-9.]+)$", render.stdout, re.M)
        if not shown or abs(float(shown.group(1)) - eps) > 1e-6:
            fail("zelk-render shows %r for EPS %.7f" % (shown and shown.group(0), eps))

        # newmod.res is a model the demo fitting program takes: fitting again
        # from it ends where the Python fit did.
        shutil.copyfile(os.path.join(demo, "newmod.res"), os.path.join(demo, "demo.mod"))
        again = subprocess.run([zelk_fit], cwd=demo, capture_output=True, text=True)
        if again.returncode != 0:
            fail("zelk-fit on newmod.res: %s" % again.stderr)
        eps_again = first_number(os.path.join(demo, "EPS.res"))
        if abs(eps_again - eps) > 1e-3 * eps:
            fail("zelk-fit from the Python fit ends at EPS %g, the Python fit at %g"
                 % (eps_again, eps))

        # An output that is an input is refused, and nothing is written.
        set_task_line(demo, 12, "demo.mod")
        with open(os.path.join(demo, "demo.mod"), "rb") as f:
            model = f.read()
        refused = run_as_zelk_does(fit_py, demo, env)
        with open(os.path.join(demo, "demo.mod"), "rb") as f:
            if refused.returncode != 2 or f.read() != model:
                fail("a result named like the model file was not refused")
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print("fit.py fitted the demo task: EPS %.6f" % eps)
    return 0


if __name__ == "__main__":
    sys.exit(main())
