#!/usr/bin/env python3
"""Benchmark harness: runs kz and the peer solvers found on this machine over a
test set folder that has an optimal.tsv, checks each objective against the
published values, and writes a TSV, a summary and a performance-profile plot.

    bench/run_bench.py [--set DIR] [--time-limit S] [--solvers kz,clp-dual,...]
                       [--kz PATH] [--out DIR] [--models REGEX] [--kz-options "..."]

It installs nothing; it says which peers it found. Uses only the standard
library.
"""
import argparse
import csv
import gzip
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def read_references(folder):
    """Published optimum per model, plus every other reference value of the
    crosscheck table (a result close to any of them counts as correct)."""
    refs, files, is_mip = {}, {}, False
    with open(os.path.join(folder, "optimal.tsv"), newline="") as f:
        for row in csv.DictReader(f, delimiter="\t"):
            name = row["name"]
            files[name] = row["file"]
            vals = []
            if row.get("optimal_objective"):
                vals.append(float(row["optimal_objective"]))
            note = row.get("note") or ""
            # Corrected values given in the note ("modern solvers give X").
            for m in re.finditer(r"(?:give|gives|is)\s+(?:about\s+)?(-?\d\.\d+E[+-]\d+)", note):
                vals.append(float(m.group(1)))
            refs[name] = vals
            if "int" in row:
                is_mip = True
    cross = os.path.join(folder, "crosscheck.tsv")
    if os.path.exists(cross):
        with open(cross, newline="") as f:
            for row in csv.DictReader(f, delimiter="\t"):
                for k, v in row.items():
                    if k == "name" or not v or k.startswith("rel_") or k.endswith("seconds_1thread"):
                        continue
                    try:
                        refs.setdefault(row["name"], []).append(float(v))
                    except ValueError:
                        pass
    return refs, files, is_mip


def correct(obj, refs, rel=1e-6, abs_tol=1e-9):
    if obj is None:
        return False
    for r in refs:
        if abs(obj - r) <= max(abs_tol, rel * max(1.0, abs(r))):
            return True
    return False


def run(cmd, limit):
    t0 = time.monotonic()
    try:
        p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=limit + 5)
        out = p.stdout.decode("utf-8", "replace")
        rc = p.returncode
    except subprocess.TimeoutExpired as e:
        out = (e.stdout or b"").decode("utf-8", "replace")
        rc = None
    return out, rc, time.monotonic() - t0


def parse_kz(out, rc):
    obj = it = None
    m = re.search(r"^Objective:\s+(\S+)", out, re.M)
    if m:
        obj = float(m.group(1))
    m = re.search(r"^Iterations:\s+(\d+)", out, re.M)
    if m:
        it = int(m.group(1))
    m = re.search(r"^Status:\s+(.+)$", out, re.M)
    status = m.group(1).strip() if m else ("timeout" if rc is None else "error")
    return status, obj, it


def parse_clp(out, rc):
    m = re.search(r"(Optimal|Primal infeasible|Dual infeasible|Stopped on \w+)[^\n]*objective\s+(\S+)\s+-\s+(\d+)\s+iterations", out)
    if not m:
        return ("timeout" if rc is None else "error"), None, None
    status = "optimal" if m.group(1) == "Optimal" else m.group(1).lower()
    return status, float(m.group(2)), int(m.group(3))


def parse_glpk(out, rc):
    it = None
    its = re.findall(r"^[* ]\s*(\d+):", out, re.M)
    if its:
        it = int(its[-1])
    m = re.search(r"Objective:\s+\S+\s+=\s+(\S+)", out)
    obj = float(m.group(1)) if m else None
    if "OPTIMAL LP SOLUTION FOUND" in out or "INTEGER OPTIMAL SOLUTION FOUND" in out:
        status = "optimal"
    elif "TIME LIMIT EXCEEDED" in out or rc is None:
        status = "timeout"
    else:
        status = "other"
    return status, obj, it


def parse_cbc(out, rc):
    m = re.search(r"Objective value:\s+(\S+)", out)
    obj = float(m.group(1)) if m else None
    status = "optimal" if "Result - Optimal solution found" in out else ("timeout" if rc is None else "other")
    return status, obj, None


def solver_table(args):
    """name -> (command builder, parser) for the solvers present here."""
    table = {}
    kz = args.kz
    if kz and os.access(kz, os.X_OK):
        extra = args.kz_options.split() if args.kz_options else []
        table["kz"] = (lambda f, lim: [kz, f, "Set", "TimeLimit", str(int(lim))] + extra, parse_kz)
    clp = shutil.which("clp")
    if clp and not args.mip:
        table["clp-dual"] = (lambda f, lim: [clp, f, "-sec", str(lim), "-dualsimplex"], parse_clp)
        table["clp-primal"] = (lambda f, lim: [clp, f, "-sec", str(lim), "-primalsimplex"], parse_clp)
    glpsol = shutil.which("glpsol")
    if glpsol:
        if args.mip:
            table["glpk"] = (lambda f, lim: [glpsol, "--mps", f, "--tmlim", str(int(lim)), "-o", "/dev/stdout"], parse_glpk)
        else:
            table["glpk-dual"] = (lambda f, lim: [glpsol, "--mps", f, "--dual", "--tmlim", str(int(lim)), "-o", "/dev/stdout"], parse_glpk)
    cbc = shutil.which("cbc")
    if cbc and args.mip:
        table["cbc"] = (lambda f, lim: [cbc, f, "-sec", str(lim), "-threads", "1", "-solve"], parse_cbc)
    return table


def shifted_geomean(times, shift=1.0):
    if not times:
        return float("nan")
    return math.exp(sum(math.log(t + shift) for t in times) / len(times)) - shift


def profile_svg(path, ratios_by_solver, tau_max):
    """Performance profile: fraction of models each solver solves correctly
    within tau times the best solver's time."""
    W, H, L, B = 640, 400, 60, 50
    colors = ["#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd", "#8c564b"]
    lines = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{W}" height="{H}" font-family="sans-serif" font-size="12">',
             f'<rect width="{W}" height="{H}" fill="white"/>',
             f'<line x1="{L}" y1="{H-B}" x2="{W-20}" y2="{H-B}" stroke="black"/>',
             f'<line x1="{L}" y1="20" x2="{L}" y2="{H-B}" stroke="black"/>']
    lt = math.log2(tau_max)

    def X(tau):
        return L + (W - 20 - L) * (math.log2(tau) / lt if lt > 0 else 0)

    def Y(frac):
        return H - B - (H - B - 20) * frac

    for k in range(0, int(lt) + 1):
        x = X(2 ** k)
        lines.append(f'<line x1="{x:.1f}" y1="{H-B}" x2="{x:.1f}" y2="{H-B+5}" stroke="black"/>')
        lines.append(f'<text x="{x:.1f}" y="{H-B+18}" text-anchor="middle">{2**k}</text>')
    for k in range(0, 11, 2):
        y = Y(k / 10)
        lines.append(f'<line x1="{L-5}" y1="{y:.1f}" x2="{L}" y2="{y:.1f}" stroke="black"/>')
        lines.append(f'<text x="{L-8}" y="{y+4:.1f}" text-anchor="end">{k/10:.1f}</text>')
    lines.append(f'<text x="{(L+W-20)/2}" y="{H-10}" text-anchor="middle">time ratio to the best solver (log scale)</text>')
    lines.append(f'<text x="15" y="{(H-B+20)/2}" transform="rotate(-90 15 {(H-B+20)/2})" text-anchor="middle">fraction of models solved</text>')
    for i, (solver, ratios) in enumerate(sorted(ratios_by_solver.items())):
        n = len(ratios)
        finite = sorted(r for r in ratios if r is not None)
        pts = [(X(1), Y(0))]
        for j, r in enumerate(finite):
            r = min(max(r, 1.0), tau_max)
            pts.append((X(r), pts[-1][1]))
            pts.append((X(r), Y((j + 1) / n)))
        pts.append((X(tau_max), pts[-1][1]))
        c = colors[i % len(colors)]
        lines.append('<polyline fill="none" stroke="%s" stroke-width="2" points="%s"/>' % (c, " ".join(f"{x:.1f},{y:.1f}" for x, y in pts)))
        lines.append(f'<text x="{W-150}" y="{Y(0.05)+i*16-16*len(ratios_by_solver):.1f}" fill="{c}">{solver}</text>')
    lines.append("</svg>")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--set", default=os.path.join(ROOT, "..", "shared", "data", "netlib"))
    ap.add_argument("--time-limit", type=float, default=60.0)
    ap.add_argument("--solvers", default="")
    ap.add_argument("--kz", default=os.path.join(ROOT, "build", "release", "tools", "kz"))
    ap.add_argument("--kz-options", default="")
    ap.add_argument("--out", default="")
    ap.add_argument("--models", default="")
    args = ap.parse_args()

    folder = os.path.abspath(args.set)
    if not os.path.exists(os.path.join(folder, "optimal.tsv")):
        sys.exit(f"no optimal.tsv in {folder}")
    refs, files, args.mip = read_references(folder)
    table = solver_table(args)
    if args.solvers:
        wanted = args.solvers.split(",")
        table = {k: v for k, v in table.items() if k in wanted}
    print("solvers found:", ", ".join(sorted(table)) or "none")
    if not table:
        sys.exit(1)
    out_dir = args.out or os.path.join(HERE, "results", os.path.basename(folder.rstrip("/")))
    os.makedirs(out_dir, exist_ok=True)
    names = sorted(n for n in files if not args.models or re.search(args.models, n))

    rows = []
    tmp = tempfile.mkdtemp(prefix="kzbench")
    try:
        for name in names:
            src = os.path.join(folder, files[name])
            path = src
            if src.endswith(".gz"):  # not every peer reads compressed files
                path = os.path.join(tmp, os.path.basename(src)[:-3])
                with gzip.open(src, "rb") as fi, open(path, "wb") as fo:
                    shutil.copyfileobj(fi, fo)
            for solver, (cmd, parse) in sorted(table.items()):
                out, rc, secs = run(cmd(path, args.time_limit), args.time_limit)
                status, obj, it = parse(out, rc)
                ok = status == "optimal" and correct(obj, refs.get(name, []))
                rows.append(dict(model=name, solver=solver, status=status, objective=obj, correct=ok,
                                 iterations=it, seconds=secs))
                print(f"{name:12s} {solver:10s} {status:10s} {obj if obj is not None else '-':>20} "
                      f"{'ok' if ok else 'WRONG':5s} {secs:8.2f}s", flush=True)
            if path != src:
                os.remove(path)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)

    with open(os.path.join(out_dir, "results.tsv"), "w") as f:
        f.write("model\tsolver\tstatus\tobjective\tcorrect\titerations\tseconds\n")
        for r in rows:
            f.write(f"{r['model']}\t{r['solver']}\t{r['status']}\t{'' if r['objective'] is None else repr(r['objective'])}\t"
                    f"{int(r['correct'])}\t{'' if r['iterations'] is None else r['iterations']}\t{r['seconds']:.3f}\n")

    # Summary: a model a solver did not solve correctly counts at the time limit.
    solvers = sorted(table)
    t = {s: {} for s in solvers}
    for r in rows:
        t[r["solver"]][r["model"]] = r["seconds"] if r["correct"] else args.time_limit
    sgm = {s: shifted_geomean([t[s][m] for m in names]) for s in solvers}
    lines = [f"test set: {folder}", f"models: {len(names)}", f"time limit: {args.time_limit:g} s",
             "solver\tcorrect\tshifted geometric mean (s, shift 1)" + "".join(f"\tratio to {p}" for p in solvers)]
    for s in solvers:
        ok = sum(1 for r in rows if r["solver"] == s and r["correct"])
        lines.append(f"{s}\t{ok}\t{sgm[s]:.3f}" + "".join(f"\t{sgm[s]/sgm[p]:.2f}" if sgm[p] > 0 else "\t-" for p in solvers))
    summary = "\n".join(lines) + "\n"
    with open(os.path.join(out_dir, "summary.txt"), "w") as f:
        f.write(summary)
    print(summary)

    ratios = {s: [] for s in solvers}
    for m in names:
        solved = {s: t[s][m] for s in solvers if t[s][m] < args.time_limit}
        best = min(solved.values()) if solved else None
        for s in solvers:
            ratios[s].append((t[s][m] + 0.01) / (best + 0.01) if s in solved else None)
    profile_svg(os.path.join(out_dir, "profile.svg"), ratios, 64.0)


if __name__ == "__main__":
    main()
