#!/usr/bin/env python3
"""A fitting program for Zelk, written in Python with scipy's curve_fit.

Zelk starts it in the task folder with no argument beyond its own name. It
reads START_A.INP and the files it names, fits every measured curve with the
model file's background and peaks, and writes the three files Zelk reads
after a run:

  the result file (START_A.INP line 13)  "N M x NAME1 ... NAMEM", then one
                                          line per point: x and M fitted values
  EPS.res                                 the reduced chi-square, first number
                                          of the first line
  newmod.res                              the fitted model, in the model
                                          file's own format

It understands the model format of the demo task (zelk-fit --make-demo DIR):

  curve NAME
  background  a v   b v          a + b*x
  gauss       pos v  height v  fwhm v
  lorentz     pos v  height v  fwhm v

where "v" marks a varied value and "f" a fixed one, and "#" starts a comment.
The options file may set "sigma" (the uncertainty of one measured value); the
records in FIT.INP are not used: every curve is fitted over its whole range.

On any problem it says what is wrong on standard error, writes nothing and
exits with status 2. All three outputs are written to new temporary files
beside their targets first and renamed into place only when all are written,
so Zelk never sees half a result.
"""

import math
import os
import sys
import tempfile

try:
    import numpy as np
    from scipy.optimize import curve_fit
except ImportError as missing:  # pragma: no cover - depends on the machine
    sys.exit("fit.py: this program needs numpy and scipy "
             "(Debian: apt-get install python3-scipy): %s" % missing)

GAUSS_FACTOR = 4.0 * math.log(2.0)  # exp(-GAUSS_FACTOR u^2) is 1/2 at u = 1/2


class FitError(Exception):
    """A problem with the task's files; the message names the file."""


def read_text(path, role):
    if not path:
        raise FitError("START_A.INP names no %s" % role)
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        raise FitError("cannot read the %s %r: %s" % (role, path, e.strerror))
    return data.decode("utf-8", errors="replace")


def lines_of(text):
    """Lines without their line ends; CR LF and LF alike."""
    return [line.rstrip("\r") for line in text.split("\n")]


def number(word, where):
    try:
        # Fortran writes 1.5D+01 for double precision.
        value = float(word.replace("D", "E").replace("d", "e"))
    except ValueError:
        raise FitError("%s: %r is not a number" % (where, word))
    if not math.isfinite(value):
        raise FitError("%s: %r is not a finite number" % (where, word))
    return value


def read_task():
    task = lines_of(read_text("START_A.INP", "task file"))
    if len(task) < 13:
        raise FitError("START_A.INP has %d lines; 13 at least are needed" % len(task))
    return {"options": task[2], "model": task[4], "experimental": task[7],
            "result": task[12]}


def read_curves(path):
    """(x, [y of curve 1, ...]) from "N M" and then N rows of x and M values."""
    words = read_text(path, "experimental file").split()
    if len(words) < 2:
        raise FitError("%s: the first line must hold the point and curve counts" % path)
    try:
        points, curves = int(words[0]), int(words[1])
    except ValueError:
        raise FitError("%s: the first line must hold the point and curve counts" % path)
    if points < 1 or curves < 1:
        raise FitError("%s: %d points and %d curves is no data" % (path, points, curves))
    # The experimental file carries nothing after the counts on its first line.
    values = words[2:]
    needed = points * (curves + 1)
    if len(values) < needed:
        raise FitError("%s: %d numbers found, %d needed for %d points of %d curves"
                       % (path, len(values), needed, points, curves))
    table = np.array([number(w, path) for w in values[:needed]]).reshape(points, curves + 1)
    return table[:, 0], [table[:, c + 1] for c in range(curves)]


def read_sigma(path):
    sigma = 1.0
    for n, line in enumerate(lines_of(read_text(path, "options file")), 1):
        words = line.split("#")[0].split()
        if len(words) >= 2 and words[0].lower() == "sigma":
            sigma = number(words[1], "%s:%d" % (path, n))
            if sigma <= 0:
                raise FitError("%s:%d: sigma must be above 0" % (path, n))
    return sigma


def read_model(path):
    """A list of curves: {"name", "terms": [[kind, [value, ...], [varied, ...]]]}."""
    curves = []
    sizes = {"background": 2, "gauss": 3, "lorentz": 3}
    for n, line in enumerate(lines_of(read_text(path, "model file")), 1):
        where = "%s:%d" % (path, n)
        words = line.split("#")[0].split()
        if not words:
            continue
        kind = words[0].lower()
        if kind == "curve":
            curves.append({"name": words[1] if len(words) > 1 else "curve%d" % (len(curves) + 1),
                           "terms": []})
            continue
        if kind not in sizes:
            raise FitError("%s: unknown keyword %r" % (where, words[0]))
        if not curves:
            raise FitError("%s: %r before the first \"curve\" line" % (where, words[0]))
        pairs = words[1:]
        if len(pairs) != 2 * sizes[kind]:
            raise FitError("%s: %s takes %d values, each followed by v or f"
                           % (where, kind, sizes[kind]))
        values = [number(pairs[2 * i], where) for i in range(sizes[kind])]
        flags = [pairs[2 * i + 1].lower() for i in range(sizes[kind])]
        if any(f not in ("v", "f") for f in flags):
            raise FitError("%s: each value is followed by v (varied) or f (fixed)" % where)
        curves[-1]["terms"].append([kind, values, [f == "v" for f in flags]])
    if not curves:
        raise FitError("%s: no \"curve\" line" % path)
    for curve in curves:
        if not any(t[0] == "background" for t in curve["terms"]):
            curve["terms"].insert(0, ["background", [0.0, 0.0], [False, False]])
    return curves


def evaluate(terms, x):
    y = np.zeros_like(x, dtype=float)
    for kind, values, _ in terms:
        if kind == "background":
            y += values[0] + values[1] * x
            continue
        position, height, width = values
        u = (x - position) / max(abs(width), 1e-12)
        if kind == "gauss":
            y += height * np.exp(-GAUSS_FACTOR * u * u)
        else:
            y += height / (1.0 + 4.0 * u * u)
    return y


def fit_curve(curve, x, y, sigma):
    """Fits the varied values in place; returns (chi-square, varied count, errors)."""
    slots = [(t, i) for t in curve["terms"] for i in range(len(t[1])) if t[2][i]]

    def model(xs, *p):
        for (term, i), value in zip(slots, p):
            term[1][i] = value
        return evaluate(curve["terms"], xs)

    errors = {}
    if slots:
        start = [term[1][i] for term, i in slots]
        try:
            best, covariance = curve_fit(model, x, y, p0=start, sigma=np.full_like(y, sigma),
                                         absolute_sigma=True, maxfev=20000)
        except (RuntimeError, ValueError) as e:
            raise FitError("curve %s: the fit failed: %s" % (curve["name"], e))
        model(x, *best)
        for k, slot in enumerate(slots):
            errors[(id(slot[0]), slot[1])] = math.sqrt(abs(covariance[k][k]))
    residual = (evaluate(curve["terms"], x) - y) / sigma
    return float(np.sum(residual * residual)), len(slots), errors


def format_model(curves, eps, errors):
    out = ["# fitted by fit.py (scipy curve_fit); EPS = %.8g" % eps]
    for curve in curves:
        out.append("curve %s" % curve["name"])
        for term in curve["terms"]:
            kind, values, varied = term
            cells = ["%s %s" % (repr(float(v)), "v" if f else "f") for v, f in zip(values, varied)]
            err = ["%.3g" % errors[(id(term), i)] if (id(term), i) in errors else "-"
                   for i in range(len(values))]
            out.append("%-10s  %s   # +- %s" % (kind, "  ".join(cells), " ".join(err)))
    return "\n".join(out) + "\n"


def same_file(a, b):
    return os.path.realpath(a) == os.path.realpath(b)


class StagedFiles:
    """Writes each file to a new temporary file beside it; commit() renames
    them all into place, in the order given. Unless committed, nothing
    replaces anything."""

    def __init__(self):
        self.staged = []

    def stage(self, path, text):
        folder = os.path.dirname(os.path.abspath(path))
        # mkstemp creates the file exclusively: a link planted under the
        # chosen name is never followed.
        fd, temporary = tempfile.mkstemp(dir=folder, prefix="." + os.path.basename(path) + ".")
        self.staged.append((temporary, path))
        with os.fdopen(fd, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
            f.flush()
            os.fsync(f.fileno())
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(temporary, 0o666 & ~umask)

    def commit(self):
        while self.staged:
            temporary, path = self.staged[0]
            os.replace(temporary, path)
            self.staged.pop(0)

    def discard(self):
        for temporary, _ in self.staged:
            try:
                os.remove(temporary)
            except OSError:
                pass
        self.staged = []


def run():
    task = read_task()
    result = task["result"]
    if not result:
        raise FitError("START_A.INP names no result file on line 13")
    inputs = ["START_A.INP", "FIT.INP", task["options"], task["model"], task["experimental"]]
    for output in (result, "EPS.res", "newmod.res"):
        for name in inputs:
            if name and same_file(output, name):
                raise FitError("the output %r is the input %r; nothing is written" % (output, name))
    sigma = read_sigma(task["options"])
    curves = read_model(task["model"])
    x, ys = read_curves(task["experimental"])
    if len(curves) != len(ys):
        raise FitError("the model file %r describes %d curves, the experimental file %r holds %d"
                       % (task["model"], len(curves), task["experimental"], len(ys)))

    chi_square, varied, errors = 0.0, 0, {}
    for curve, y in zip(curves, ys):
        c, v, e = fit_curve(curve, x, y, sigma)
        chi_square += c
        varied += v
        errors.update(e)
        print("curve %s: chi-square %.8g, %d varied values" % (curve["name"], c, v))
    points = len(x) * len(ys)
    eps = chi_square / (points - varied) if points > varied else chi_square

    rows = ["%d %d x %s" % (len(x), len(ys), " ".join(c["name"] for c in curves))]
    fitted = [evaluate(c["terms"], x) for c in curves]
    for p in range(len(x)):
        rows.append(" ".join([repr(float(x[p]))] + ["%.10g" % f[p] for f in fitted]))

    files = StagedFiles()
    try:
        files.stage("newmod.res", format_model(curves, eps, errors))
        files.stage("EPS.res", "%.10g\nreduced chi-square = %.10g / (%d points - %d varied)\n"
                    % (eps, chi_square, points, varied))
        # The result goes last: Zelk takes it as the sign of a finished run.
        files.stage(result, "\n".join(rows) + "\n")
        files.commit()
    except OSError as e:
        raise FitError("cannot write %r: %s" % (e.filename or result, e.strerror))
    finally:
        files.discard()
    print("EPS = %.8g" % eps)


def main():
    try:
        run()
    except FitError as e:
        print("fit.py: %s" % e, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
