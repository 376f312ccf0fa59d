#!/usr/bin/env python3
"""The benchmark's table (Markdown, printed and written to OUTDIR/results.md) and
its two charts (OUTDIR/download.png, OUTDIR/fleet.png) from the figures that
bench/run.sh collected. Only checked runs enter a figure; failed runs are counted.
With --doc, the figures also go into that page (docs/benchmarks.md), between its
marks, and the charts beside it (docs/bench/).

  report.py RESULTS.txt OUTDIR [--doc PAGE]
"""
import argparse
import math
import os
import shutil
import statistics
from collections import defaultdict

ROWS = [  # key, program, where
    ("window", "Tarnwell.exe", "Wine"),
    ("cli_exe", "tarnwell-cli.exe", "Wine"),
    ("floor_exe", "bare floor (.exe)", "Wine"),
    ("cli", "tarnwell-cli", "native"),
    ("tftp", "tftp-hpa", "native"),
    ("floor", "bare floor", "native"),
]
SIZE_TEXT = {"64k": "64 KiB", "256k": "256 KiB", "1m": "1 MiB", "16m": "16 MiB"}
SIZE_ORDER = ["64k", "256k", "1m", "16m"]
DISCOVERY = [("window", "Tarnwell.exe (Search)"), ("cli", "tarnwell-cli (by address)"),
             ("cli_exe", "tarnwell-cli.exe (by address)")]


class Figure:
    def __init__(self):
        self.values = []
        self.failed = []

    def add(self, fields):
        if fields[0] == "ok":
            self.values.append(float(fields[1]))
        else:
            self.failed.append(" ".join(fields[1:]))

    @property
    def median(self):
        return statistics.median(self.values) if self.values else math.nan

    def spread(self, digits=1):
        if not self.values:
            return "–", "–", "–"
        f = f"{{:.{digits}f}}"
        return f.format(min(self.values)), f.format(self.median), f.format(max(self.values))

    def runs(self):
        text = str(len(self.values))
        if self.failed:
            text += f" (+{len(self.failed)} failed: {', '.join(sorted(set(self.failed)))})"
        return text


def ratio(a, b):
    return f"{a / b:.2f}" if a == a and b == b and b > 0 else "–"


def read(path):
    download = defaultdict(Figure)
    discovery = defaultdict(Figure)
    listed = defaultdict(list)
    broadcast = {}
    fleet = []
    rss = {}
    meta = {}
    with open(path) as f:
        for line in f:
            fields = line.split()
            if not fields:
                continue
            kind = fields[0]
            if kind == "dl":
                download[(fields[1], fields[2], fields[3])].add(fields[4:])
            elif kind == "disc":
                # A run that listed fewer boards than answer has no last line to time.
                result = fields[3:]
                if result[0] == "ok" and result[-1] != fields[2]:
                    result = ["failed", f"listed {result[-1]}"]
                discovery[(fields[1], fields[2])].add(result)
                listed[(fields[1], fields[2])].append(fields[-1])
            elif kind == "disccount":
                broadcast[(fields[1], fields[2])] = fields[3]
            elif kind == "fleet":
                fleet.append(fields[1:])
            elif kind == "rss" and len(fields) > 3:
                rss[(fields[1], fields[2])] = fields[3]
            elif kind == "part" and len(fields) == 3:
                meta.setdefault("parts", []).append(f"{fields[1].replace('inside-', '').replace('.sh', '')} "
                                                    f"{fields[2]} s")
            elif len(fields) == 2:
                meta[kind] = fields[1]
    return download, discovery, listed, broadcast, fleet, rss, meta


def download_table(download, out):
    conditions = sorted({(s, l) for (_, s, l) in download}, key=lambda c: (c[1], SIZE_ORDER.index(c[0])))
    out.append("### Download: µs per data block, min / median / max of the checked runs\n")
    out.append("Same veth link, same run of the bench; rows take turns in every round. Our programs are timed "
               "by the board (file-name request to reboot request), tftp-hpa by its client's whole run "
               "(process start included), the floors by the sender (first block to last acknowledgement). "
               "Ratios are of medians.\n")
    out.append("| image | board latency | program | runs | min | median | max | × tftp-hpa | × floor | × Wine floor |")
    out.append("|---|---|---|---|---:|---:|---:|---:|---:|---:|")
    for size, lat in conditions:
        tftp = download[("tftp", size, lat)].median
        floor = download[("floor", size, lat)].median
        wine_floor = download[("floor_exe", size, lat)].median
        for key, program, where in ROWS:
            fig = download[(key, size, lat)]
            lo, mid, hi = fig.spread()
            out.append(f"| {SIZE_TEXT.get(size, size)} | {'none' if lat == '0' else lat + ' ms'} | {program} "
                       f"({where}) | {fig.runs()} | {lo} | {mid} | {hi} | {ratio(fig.median, tftp)} | "
                       f"{ratio(fig.median, floor)} | {ratio(fig.median, wine_floor)} |")
    out.append("")
    return conditions


def discovery_table(discovery, listed, broadcast, out):
    counts = sorted({int(n) for (_, n) in discovery})
    if not counts:
        return
    out.append("### Discovery: first request on the wire to the last unit line, ms\n")
    out.append("The first request is the kernel's timestamp of the datagram leaving the workstation; the last "
               "line is the UI driver's clock once the unit list holds every board (it looks every 1 ms), or "
               "the command line's own log stamp of its last unit line (to the ms). Nothing is subtracted.\n")
    out.append("| boards | program | runs | min | median | max | listed per run |")
    out.append("|---:|---|---|---:|---:|---:|---|")
    for n in counts:
        for key, program in DISCOVERY:
            fig = discovery.get((key, str(n)))
            if fig is None:
                continue
            lo, mid, hi = fig.spread()
            out.append(f"| {n} | {program} | {fig.runs()} | {lo} | {mid} | {hi} | "
                       f"{', '.join(listed[(key, str(n))])} |")
        for key, program in (("cli", "tarnwell-cli"), ("cli_exe", "tarnwell-cli.exe")):
            if (key, str(n)) in broadcast:
                out.append(f"| {n} | {program} broadcast, --wait 2 | 1 | – | – | – | "
                           f"{broadcast[(key, str(n))]} |")
    out.append("")


def fleet_rows(fleet):
    """(boards, program, lanes, wall, span, board, cpu, rss, failure) per run; one board's time from the
    one-lane run of the smallest fleet."""
    rows = []
    for f in fleet:
        program, boards, lanes, status = f[0], int(f[1]), int(f[2]), f[3]
        if status != "ok":
            rows.append((boards, program, lanes, None, None, None, None, None, " ".join(f[4:])))
            continue
        wall, cpu, rss, span, board = f[4:9]
        num = lambda t: float(t) if t != "-" else None
        rows.append((boards, program, lanes, num(wall), num(span), num(board), num(cpu), num(rss), ""))
    singles = [r for r in rows if r[1] == "cli" and r[2] == 1 and r[5] is not None]
    one = min(singles, key=lambda r: r[0])[5] if singles else None
    return rows, one


def fleet_table(fleet, out):
    rows, one = fleet_rows(fleet)
    if not rows:
        return rows, one
    out.append("### Fleet: 256 KiB image, every block answered 5 ms late, one run each\n")
    out.append(f"One board's time: {one:.2f} s (median board, file-name request to reboot request, of the one-lane "
               "run of the smallest fleet). Ideal: ⌈boards ÷ lanes⌉ × one board's time. The command line's wall "
               "time is its whole run (asking the boards' names first); the window's is the boards' span, first "
               "file-name request to last reboot request. CPU is user + system time of the command line.\n"
               if one else "No one-lane run: no ideal.\n")
    out.append("| boards | program | lanes | wall s | boards' span s | ideal s | wall ÷ ideal | CPU s | peak RSS MiB |")
    out.append("|---:|---|---:|---:|---:|---:|---:|---:|---:|")
    for boards, program, lanes, wall, span, board, cpu, rss, failure in rows:
        name = "tarnwell-cli" if program == "cli" else "Tarnwell.exe (one after another)"
        if failure:
            out.append(f"| {boards} | {name} | {lanes} | failed: {failure} | | | | | |")
            continue
        ideal = math.ceil(boards / min(lanes, boards)) * one if one else None
        measured = wall if wall is not None else span
        out.append(f"| {boards} | {name} | {lanes} | {wall if wall is not None else '–'} | {span:.2f} | "
                   f"{f'{ideal:.2f}' if ideal else '–'} | {ratio(measured, ideal) if ideal else '–'} | "
                   f"{cpu if cpu is not None else '–'} | {rss / 1024:.1f} |")
    out.append("")
    return rows, one


def goals(download, discovery, listed, fleet_data, out):
    rows, one = fleet_data
    # Held against the largest image without board latency.
    sizes = [s for s in SIZE_ORDER if (("floor", s, "0") in download)]
    size = sizes[-1] if sizes else "16m"
    med = lambda key: download[(key, size, "0")].median
    at = SIZE_TEXT.get(size, size)
    out.append("### Goals\n")
    checks = []
    cli, floor, tftp = med("cli"), med("floor"), med("tftp")
    checks.append((f"native tarnwell-cli ≤ 1.2× floor and below tftp-hpa ({at})",
                   cli <= 1.2 * floor and cli < tftp, f"{ratio(cli, floor)}× floor, {ratio(cli, tftp)}× tftp-hpa"))
    exe, wfloor, window = med("cli_exe"), med("floor_exe"), med("window")
    checks.append((f"tarnwell-cli.exe ≤ 1.2× Wine floor ({at})", exe <= 1.2 * wfloor, f"{ratio(exe, wfloor)}×"))
    checks.append((f"Tarnwell.exe ≤ 1.5× Wine floor ({at})", window <= 1.5 * wfloor, f"{ratio(window, wfloor)}×"))
    big = [r for r in rows if r[0] == 254 and r[1] == "cli" and r[2] == 64]
    if big and big[0][3] is not None and one:
        ideal = math.ceil(254 / 64) * one
        checks.append(("254 boards, 64 lanes within 1.3× ideal", big[0][3] <= 1.3 * ideal,
                       f"{big[0][3]:.2f} s against {ideal:.2f} s: {ratio(big[0][3], ideal)}×"))
    for key, name in (("window", "window"), ("cli", "tarnwell-cli"), ("cli_exe", "tarnwell-cli.exe")):
        full = listed.get((key, "4000"))
        if full:
            ok = all(c == "4000" for c in full)
            checks.append((f"discovery: 4000 of 4000 listed ({name})", ok, ", ".join(full)))
    for text, met, figures in checks:
        state = "met" if met else "NOT met"
        if "–" in figures:
            state = "not measured"
        out.append(f"- {text}: **{state}** ({figures})")
    out.append("")


def charts(download, conditions, fleet_data, outdir):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
        import matplotlib.ticker
    except ImportError:
        print("(no charts: python3-matplotlib is missing)")
        return
    fig, axes = plt.subplots(1, len(conditions), figsize=(5 * len(conditions), 4.5), squeeze=False)
    for ax, (size, lat) in zip(axes[0], conditions):
        labels, mids, lows, highs = [], [], [], []
        for key, program, where in ROWS:
            f = download[(key, size, lat)]
            labels.append(f"{program}\n{where}")
            m = f.median
            mids.append(m if m == m else 0)
            lows.append(m - min(f.values) if f.values else 0)
            highs.append(max(f.values) - m if f.values else 0)
        colours = ["#c0504d" if "Wine" in l else "#4f81bd" for l in labels]
        ax.bar(range(len(labels)), mids, yerr=[lows, highs], color=colours, capsize=4)
        ax.set_xticks(range(len(labels)))
        ax.set_xticklabels(labels, rotation=60, ha="right", fontsize=8)
        ax.set_title(f"{SIZE_TEXT.get(size, size)}, " + ("no board latency" if lat == "0" else f"{lat} ms per block"))
        ax.set_ylabel("µs per data block (median, min–max)")
    fig.tight_layout()
    fig.savefig(f"{outdir}/download.png", dpi=100)
    plt.close(fig)

    rows, one = fleet_data
    cli = [r for r in rows if r[1] == "cli" and r[3] is not None]
    if not cli:
        return
    fig, ax = plt.subplots(figsize=(7, 4.5))
    for boards in sorted({r[0] for r in cli}):
        pts = sorted((r[2], r[3]) for r in cli if r[0] == boards)
        line, = ax.plot([p[0] for p in pts], [p[1] for p in pts], marker="o", label=f"{boards} boards")
        if one:
            lanes = [p[0] for p in pts]
            ax.plot(lanes, [math.ceil(boards / min(n, boards)) * one for n in lanes], linestyle="--",
                    color=line.get_color(), alpha=0.6, label=f"{boards} boards, ideal")
    for r in rows:
        if r[1] == "window" and r[4] is not None:
            ax.plot([1], [r[4]], marker="s", color="black", linestyle="none", label=f"window, {r[0]} boards")
    ax.set_xscale("log", base=2)
    ax.set_yscale("log")
    lanes = sorted({r[2] for r in cli})
    ax.set_xticks(lanes)
    ax.xaxis.set_major_formatter(matplotlib.ticker.ScalarFormatter())
    ax.yaxis.set_major_formatter(matplotlib.ticker.ScalarFormatter())
    ax.set_xlabel("lanes (--parallel)")
    ax.set_ylabel("wall time, s")
    ax.set_title("Fleet: 256 KiB image, 5 ms per block")
    ax.legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(f"{outdir}/fleet.png", dpi=100)
    plt.close(fig)


DOC_BEGIN = "<!-- Written by bench/report.py from the last full run of bench/run.sh: edits between these marks are lost. -->"
DOC_END = "<!-- End of what bench/report.py writes. -->"
CHARTS = {"download.png": "µs per data block by program and image",
          "fleet.png": "a fleet's wall time by lanes, against the ideal"}


def write_doc(page, text, meta, outdir):
    """Puts the figures between the page's marks, leaving the hand-written rest as it is, and the charts
    in bench/ beside the page."""
    with open(page) as f:
        old = f.read()
    begin, end = old.find(DOC_BEGIN), old.find(DOC_END)
    if begin < 0 or end < begin:
        raise SystemExit(f"report.py: {page} lacks the marks between which the figures go:\n  {DOC_BEGIN}\n  {DOC_END}")
    chart_dir = os.path.join(os.path.dirname(page) or ".", "bench")
    os.makedirs(chart_dir, exist_ok=True)
    charts_shown = []
    for name in CHARTS:
        target = os.path.join(chart_dir, name)
        if os.path.exists(os.path.join(outdir, name)):
            shutil.copyfile(os.path.join(outdir, name), target)
            charts_shown.append(name)
        elif os.path.exists(target):
            os.remove(target)  # a chart of an earlier run would not match these figures
    taken = f"Taken on {meta.get('date', 'an unrecorded date')}"
    if "cores" in meta:
        taken += f" on a machine with {meta['cores']} cores"
    section = [DOC_BEGIN, "## Latest figures", "", taken + ", by `bash bench/run.sh`:", ""]
    section += [f"![{CHARTS[name]}](bench/{name})" for name in charts_shown]
    if charts_shown:
        section.append("")
    section += [text.rstrip("\n"), DOC_END]
    with open(page, "w") as f:
        f.write(old[:begin] + "\n".join(section) + old[end + len(DOC_END):])
    print(f"(figures written into {page}, charts into {chart_dir}/)")


def main(path, outdir, page=None):
    download, discovery, listed, broadcast, fleet, rss, meta = read(path)
    out = [f"Benchmark: {meta.get('runs', '?')} runs per download and discovery figure; "
           f"took {meta.get('elapsed', '?')} s ({', '.join(meta.get('parts', []))}).\n"]
    conditions = download_table(download, out)
    discovery_table(discovery, listed, broadcast, out)
    fleet_data = fleet_table(fleet, out)
    if rss:
        out.append("Resident size of Tarnwell.exe, KiB: " +
                   ", ".join(f"{what} {kib}" for (_, what), kib in sorted(rss.items())) + "\n")
    goals(download, discovery, listed, fleet_data, out)
    text = "\n".join(out)
    print(text)
    with open(f"{outdir}/results.md", "w") as f:
        f.write(text)
    charts(download, conditions, fleet_data, outdir)
    if page:
        write_doc(page, text, meta, outdir)


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description="The benchmark's tables and charts from bench/run.sh's figures.")
    parser.add_argument("results", help="results.txt written by bench/run.sh")
    parser.add_argument("outdir", help="where results.md and the charts go")
    parser.add_argument("--doc", metavar="PAGE", help="also write the figures into PAGE (docs/benchmarks.md)")
    args = parser.parse_args()
    main(args.results, args.outdir, args.doc)
