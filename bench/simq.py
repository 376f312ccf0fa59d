#!/usr/bin/env python3
"""Reads one run's simulator summary for the benchmark.

  simq.py image SUMMARY IP     "<us per block> <blocks>" of the board's last complete image
                               (file-name request to reboot request, as the board timed them), or
                               "failed <why>"
  simq.py fleet SUMMARY BOARDS "<span s> <median board s> <images>" over every board (each image complete
                               and identical to --expect), or "failed <why>";
                               span runs from the first file-name request to the last reboot request
"""
import json
import statistics
import sys


def load(path):
    try:
        with open(path) as f:
            return json.load(f)
    except (OSError, ValueError) as e:
        print(f"failed no-summary:{type(e).__name__}")
        sys.exit(0)


def main():
    what, path = sys.argv[1], sys.argv[2]
    summary = load(path)
    if summary.get("flag_total", 0):
        print(f"failed flagged:{summary['flag_total']}")
        return
    if what == "image":
        ip = sys.argv[3]
        images = [im for b in summary["boards"] if b["ip"] == ip for im in b.get("images", [])]
        if not images or not images[-1]["complete"]:
            print("failed no-complete-image")
            return
        im = images[-1]
        print(f"{(im['finished'] - im['started']) * 1e6 / im['blocks']:.2f} {im['blocks']}")
    else:
        want = int(sys.argv[3])
        images = [b["images"][-1] for b in summary["boards"] if b.get("images")]
        good = [im for im in images if im["complete"] and im.get("identical") is True]
        if len(good) != want:
            print(f"failed images:{len(good)}/{want}")
            return
        span = max(im["finished"] for im in good) - min(im["started"] for im in good)
        board = statistics.median(im["finished"] - im["started"] for im in good)
        print(f"{span:.3f} {board:.3f} {len(good)}")


if __name__ == "__main__":
    main()
