#!/usr/bin/env python3
"""Prints the benchmark table from the figures bench/run.sh collected."""
import json
import statistics
import sys
from collections import defaultdict

BLOCKS = {"1m": (1024 * 1024 + 503) // 504, "4m": (4 * 1024 * 1024 + 503) // 504}
TFTP_BLOCKS = {"1m": 1024 * 1024 // 512 + 1, "4m": 4 * 1024 * 1024 // 512 + 1}


def main(folder):
    rows = defaultdict(list)
    with open(f"{folder}/results.txt") as f:
        for line in f:
            key, *values = line.split()
            rows[key].append(values)
    with open(f"{folder}/download.json") as f:
        summary = json.load(f)
    # The simulator lists the images in the order the downloads ran.
    ours = defaultdict(list)
    images = [im for board in summary["boards"] for im in board.get("images", [])]
    for (mode, size), image in zip(((v[0], v[1]) for v in rows["download"]), images):
        ours[(mode, size)].append((image["finished"] - image["started"]) * 1e6 / BLOCKS[size])

    print("Download, microseconds per data block (median of the runs; same veth link, same run)")
    print("  idle: CPUs otherwise idle; busy: a lowest-priority spinner on every CPU, so no hop waits for a CPU to wake")
    print(f"{'image':<12}{'Tarnwell':>10}{'tftp-hpa':>10}{'floor':>10}{'ours/tftp':>11}{'ours/floor':>12}")
    for mode in ("idle", "busy"):
        for size in ("1m", "4m"):
            us = statistics.median(ours[(mode, size)]) if ours[(mode, size)] else float("nan")
            tftp = statistics.median(int(v[0]) / TFTP_BLOCKS[size] for v in rows[f"tftp_{mode}_{size}"])
            floor = statistics.median(float(v[2]) for v in rows[f"floor_{mode}_{size}"])
            label = f"{size.upper()} {mode}"
            print(f"{label:<12}{us:>10.1f}{tftp:>10.1f}{floor:>10.1f}{us / tftp:>11.2f}{us / floor:>12.2f}")
    identical = [v[0] for k, vs in rows.items() if k.startswith("identical_") for v in vs]
    print(f"images identical: {identical.count('yes')} of {len(identical)}")
    print()
    call = statistics.median(int(v[0]) for v in rows["ui_call_ms"])
    print(f"Discovery, Search to the last line (less one UI driver call, {call} ms)")
    for n in ("254", "1000"):
        runs = rows.get(f"discovery_{n}_ms", [])
        if runs:
            ms = statistics.median(int(v[0]) for v in runs) - call
            listed = ", ".join(v[1] for v in runs)
            print(f"  {n:>5} boards: {ms:>6} ms   listed: {listed}")
    print()
    print("Resident size of Tarnwell.exe (KiB)")
    for key in ("rss_idle", "rss_after_1m", "rss_after_4m", "rss_after_254", "rss_after_1000"):
        if key in rows:
            print(f"  {key[4:]:<12} " + "  ".join(v[0] for v in rows[key]))


if __name__ == "__main__":
    main(sys.argv[1])
