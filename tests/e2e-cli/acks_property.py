#!/usr/bin/env python3
"""Randomised property test of what tarnwell-cli makes of a board's acknowledgements.

Runs inside the workstation namespace of a test bed (tests/e2e-cli/acks.sh builds it). Each case is
drawn from its seed: a firmware image of random size and two to four simulated boards, each with an
acknowledgement form and, at random, faults (duplicated, late, lost or refused answers, lost requests);
`tarnwell-cli flash --json` serves them, the board simulator (in the boards namespace, one per case)
keeps its account. For every case and board it asserts:

  - "ok" and confirmed: the board holds the image exactly;
  - acknowledgements that echo block numbers, an image of three blocks or more: no damaged image ends
    as "ok", confirmed or not;
  - no reboot request after a download went out of step, before a new file-name request;
  - a negative acknowledgement ends the board it came from;
  - nothing hangs (a time limit), and the exit status agrees with the results;
  - the simulator flags nothing of an echoing board; of the others only what the protocol cannot
    prevent (an ack taken for the wrong block) and the repeat of an acknowledged block.

Usage: acks_property.py CLI BOARDSIM WORKDIR (--count N [--start S] | --seed S) [--workers K]
A failing case prints its seed; SEED=S (or --seed S) runs it again by itself.
"""

import argparse
import concurrent.futures
import hashlib
import json
import os
import random
import re
import subprocess
import sys
import threading
import time

BLOCK = 504
FORMS = {
    "echo": "",
    "len0": "ack-len=0",
    "port": "reply-port=2017",
    "short": "ack=short",
    "zero": "ack=zero",
    "seq0": "ack-seq=0",
    "seq1": "ack-seq=1",
    "seq7": "ack-seq=7",
    "seqmax": "ack-seq=0xFFFFFFFF",
}
ECHOING = {"echo", "len0", "port"}
CLI_LIMIT_S = 300
# Flags a correct workstation can draw from a board whose acks carry no block number: an ack taken
# for the wrong block (the protocol's limit: the next request goes out early, or after a refusal still
# on its way), and a block sent again whose ack it would not take.
TOLERATED = re.compile(
    r"DATA block \d+ sent again [0-9.]+ s after the board acknowledged it"
    r"|.* sent before the board acknowledged .*"
    r"|(DATA block \d+|REBOOT) after the board refused .*"
    r"|DATA block \d+ out of order: the next block is \d+"
    r"|block \d+ held \d+ bytes yet was not the last block"
    r"|DATA block \d+ sent again with different content")


def draw_case(seed):
    rng = random.Random(seed)
    size = rng.choice([rng.randint(1, 3 * BLOCK), rng.randint(3 * BLOCK, 8 * BLOCK), BLOCK * rng.randint(1, 6)])
    blocks = max(1, -(-size // BLOCK))
    boards = []
    for _ in range(rng.randint(2, 4)):
        form = rng.choice(list(FORMS))
        faults = []
        for _ in range(rng.choice([0, 1, 1, 2, 2, 3])):
            kind = rng.choice(["twice", "twice", "late", "late", "drop", "lost", "lost", "nak"])
            if kind == "twice" and rng.random() < 0.15:
                faults.append("twice")
                continue
            roll = rng.random()
            if roll < 0.15:
                req = "filename"
            elif roll < 0.3:
                req = "reboot"
            elif roll < 0.4 and kind in ("twice", "late"):
                req = "data:*"
            else:
                req = "data:%d" % rng.randrange(blocks)
            if kind == "twice":
                faults.append("twice=%s:%d" % (req, rng.choice([0, 0, 20, 300, 2000, 6000])))
            elif kind == "late":
                # Past the 5 s deadline, or well within it: never near it.
                late = rng.choice([6000, 6500, 8000]) if req != "data:*" else rng.choice([30, 300])
                faults.append("late=%s:%d" % (req, late if rng.random() < 0.7 else rng.choice([50, 400, 1500])))
            elif kind == "drop":
                faults.append("drop=%s:%d" % (req, rng.choice([1, 1, 1, 2])))
            elif kind == "lost":
                faults.append("lost-ack=%s:%d" % (req, rng.choice([1, 1, 1, 2])))
            else:
                faults.append("nak=%s" % req)
        boards.append({"form": form, "faults": faults})
    lanes = len(boards) if rng.random() < 0.7 else rng.randint(1, len(boards))
    require = rng.random() < 0.2
    image = bytes(rng.getrandbits(8) for _ in range(size))
    return {"seed": seed, "size": size, "blocks": blocks, "boards": boards, "lanes": lanes,
            "require_confirmed": require, "image": image}


def segments(requests):
    """The board's download requests, split into passes at each new file-name request."""
    passes = []
    for r in requests:
        if r["op"] == "DISCOVER":
            continue
        if r["op"] == "FILENAME" and r["note"] != "retransmission":
            passes.append([])
        if passes:
            passes[-1].append(r)
    return passes


class Runner:
    def __init__(self, cli, boardsim, work, boards_ns):
        self.cli, self.boardsim, self.work, self.ns = cli, boardsim, work, boards_ns

    def run(self, case, slot):
        """Serves the case with the boards on addresses of `slot`; returns (failures, per-board facts)."""
        seed = case["seed"]
        base = os.path.join(self.work, "case-%d" % seed)
        os.makedirs(base, exist_ok=True)
        fw = os.path.join(base, "p%d_vex_arm_fw.bin" % seed)
        with open(fw, "wb") as f:
            f.write(case["image"])
        sha = hashlib.sha256(case["image"]).hexdigest()
        ips = ["192.168.1.%d" % (20 + 5 * slot + i) for i in range(len(case["boards"]))]
        sim_args = [self.boardsim, "--quiet", "--listen", "none", "--out", os.path.join(base, "out"),
                    "--summary", os.path.join(base, "sim.json"), "--log", os.path.join(base, "sim.log"),
                    "--ready-file", os.path.join(base, "ready")]
        for i, (ip, b) in enumerate(zip(ips, case["boards"])):
            items = ["name=FW VEX p%d" % i, "mac=00:11:22:33:%02x:%02x" % (slot, i), "ip=" + ip]
            items += [x for x in [FORMS[b["form"]]] + b["faults"] if x]
            sim_args += ["--board", ",".join(items)]
        sim = subprocess.Popen(["ip", "netns", "exec", self.ns] + sim_args, stdout=subprocess.DEVNULL,
                               stderr=open(os.path.join(base, "sim.err"), "w"))
        failures = []
        try:
            for _ in range(200):
                if os.path.exists(os.path.join(base, "ready")) or sim.poll() is not None:
                    break
                time.sleep(0.05)
            if not os.path.exists(os.path.join(base, "ready")):
                return ["the simulator did not start: " + open(os.path.join(base, "sim.err")).read()], []
            args = [self.cli, "flash", fw] + ips + ["--parallel", str(case["lanes"]), "--json", "--quiet",
                                                    "--wait", "1"]
            if case["require_confirmed"]:
                args.append("--require-confirmed")
            try:
                done = subprocess.run(args, capture_output=True, timeout=CLI_LIMIT_S)
            except subprocess.TimeoutExpired:
                return ["tarnwell-cli did not end within %d s" % CLI_LIMIT_S], []
        finally:
            sim.terminate()
            try:
                sim.wait(timeout=15)
            except subprocess.TimeoutExpired:
                sim.kill()
                sim.wait()
        try:
            report = json.loads(done.stdout)
        except ValueError:
            return ["no JSON document (exit status %d): %r %r" % (done.returncode, done.stdout[-300:],
                                                                  done.stderr[-300:])], []
        sim_boards = {b["ip"]: b for b in json.load(open(os.path.join(base, "sim.json")))["boards"]}
        facts = []
        everyone_ok = True
        for ip, wanted, res in zip(ips, case["boards"], report["boards"]):
            what = "%s (%s%s)" % (ip, wanted["form"], "".join("," + f for f in wanted["faults"]))
            board = sim_boards[ip]
            images = board["images"]
            last = images[-1] if images else None
            whole = last is not None and last["complete"] and last["sha256"] == sha and last["size"] == case["size"]
            passes = segments(board["requests"])
            ok = res["result"] == "ok" and res["ok"]
            everyone_ok = everyone_ok and res["ok"]
            flags = [f["text"] for f in board["flags"]]
            # Failed for want of an answer to a data block the board did acknowledge.
            unheard = res["result"] == "no-reply" and res["request"] == "data" and bool(passes) and any(
                r["op"] == "DATA" and r["seq"] == res["block"] and r["reply"] == "ack" for r in passes[-1])
            facts.append({"form": wanted["form"], "result": res["result"], "ok": res["ok"],
                          "confirmed": res["confirmed"], "passes": res["passes"], "whole": whole,
                          "flags": flags, "unheard": unheard})
            if res["address"] != ip:
                failures.append("%s: the JSON's boards are out of order" % what)
            if res["result"] == "ok" and res["confirmed"] and not whole:
                failures.append("%s: ok and confirmed, but the board's image is not the file" % what)
            if wanted["form"] in ECHOING and case["blocks"] >= 3 and res["result"] == "ok" and not whole:
                failures.append("%s: acks echo block numbers, %d blocks, ok, but the image is damaged"
                                % (what, case["blocks"]))
            if res["passes"] != len(passes):
                failures.append("%s: %d passes said, %d file-name requests began one"
                                % (what, res["passes"], len(passes)))
            restarted_early = res["passes"] == 2 and passes and any(r["op"] == "REBOOT" for r in passes[0])
            ended_out = res["result"] == "out-of-step" and passes and any(r["op"] == "REBOOT" for r in passes[-1])
            if restarted_early or ended_out:
                failures.append("%s: a reboot request after the download went out of step" % what)
            if res["result"] == "out-of-step" and res["passes"] != 2:
                failures.append("%s: out of step without being started over first" % what)
            for number, segment in enumerate(passes):
                naks = [r["t"] + r["delay_ms"] / 1000.0 for r in segment if r["reply"] == "nak"]
                if not naks:
                    continue
                later = [r for r in segment if r["t"] > min(naks) + 0.5]
                if later:
                    failures.append("%s: pass %d went on after the board refused a request (%s at %.3f s)"
                                    % (what, number + 1, later[0]["op"], later[0]["t"]))
                if number == len(passes) - 1 and res["result"] not in ("nak", "out-of-step"):
                    failures.append("%s: refused, yet its result is %s" % (what, res["result"]))
            bad = [f for f in flags if wanted["form"] in ECHOING or not TOLERATED.fullmatch(f)]
            if bad:
                failures.append("%s: the simulator flagged: %s" % (what, "; ".join(bad[:3])))
        expected = 0 if everyone_ok else 1
        if done.returncode != expected:
            failures.append("exit status %d, the results call for %d" % (done.returncode, expected))
        summary = report["summary"]
        if summary["ok"] != sum(1 for b in report["boards"] if b["ok"]) or summary["boards"] != len(ips):
            failures.append("the summary disagrees with the results: %s" % summary)
        if failures:
            failures.append("the results: " + "; ".join("%s %s" % (b["address"], b["text"]) for b in report["boards"]))
        return failures, facts


def describe(case):
    return "%d bytes (%d blocks), --parallel %d%s: %s" % (
        case["size"], case["blocks"], case["lanes"], " --require-confirmed" if case["require_confirmed"] else "",
        " | ".join(b["form"] + "".join("," + f for f in b["faults"]) for b in case["boards"]))


def table(all_facts):
    lines = ["acknowledgement form: share of boards that ended confirmed / unconfirmed / out of step / "
             "failed otherwise; boards restarted; ok but damaged (unconfirmed); failed 'no reply' to a block "
             "the board acknowledged; blocks sent again after their ack (flagged)",
             "%-7s %6s %10s %12s %12s %8s %10s %9s %9s %8s" % ("form", "boards", "confirmed", "unconfirmed",
                                                               "out of step", "failed", "restarted", "damaged",
                                                               "unheard", "repeats")]
    for form in FORMS:
        facts = [f for f in all_facts if f["form"] == form]
        if not facts:
            continue
        n = len(facts)
        confirmed = sum(1 for f in facts if f["result"] == "ok" and f["confirmed"])
        unconfirmed = sum(1 for f in facts if f["result"] == "ok" and not f["confirmed"])
        out = sum(1 for f in facts if f["result"] == "out-of-step")
        failed = n - confirmed - unconfirmed - out
        restarted = sum(1 for f in facts if f["passes"] == 2)
        damaged = sum(1 for f in facts if f["result"] == "ok" and not f["whole"])
        repeats = sum(1 for f in facts for t in f["flags"] if "after the board acknowledged it" in t)
        unheard = sum(1 for f in facts if f["unheard"])
        pct = lambda k: "%5.1f%%" % (100.0 * k / n)
        lines.append("%-7s %6d %10s %12s %12s %8s %10d %9d %9d %8d" % (
            form, n, pct(confirmed), pct(unconfirmed), pct(out), pct(failed), restarted, damaged, unheard, repeats))
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("cli")
    parser.add_argument("boardsim")
    parser.add_argument("work")
    parser.add_argument("--count", type=int, default=20)
    parser.add_argument("--start", type=int, default=1)
    parser.add_argument("--seed", type=int)
    parser.add_argument("--workers", type=int, default=4)
    args = parser.parse_args()
    seeds = [args.seed] if args.seed is not None else list(range(args.start, args.start + args.count))
    runner = Runner(args.cli, args.boardsim, args.work, os.environ["TW_BOARDS_NS"])
    slots = list(range(args.workers))
    lock = threading.Lock()
    all_facts, failed = [], []

    def one(seed):
        with lock:
            slot = slots.pop()
        try:
            case = draw_case(seed)
            failures, facts = runner.run(case, slot)
        finally:
            with lock:
                slots.append(slot)
        with lock:
            all_facts.extend(facts)
            if failures:
                failed.append(seed)
                print("FAIL case SEED=%d: %s" % (seed, describe(case)), flush=True)
                for f in failures:
                    print("    " + f, flush=True)
            else:
                print("case SEED=%d: %s -> %s" % (seed, describe(case),
                                                  ", ".join(f["result"] + ("" if f["confirmed"] or f["result"] != "ok"
                                                                           else " unconfirmed")
                                                            + (" (started over)" if f["passes"] == 2 else "")
                                                            for f in facts)),
                      flush=True)

    started = time.time()
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.workers) as pool:
        list(pool.map(one, seeds))
    print()
    print(table(all_facts))
    print("%d cases, %d boards, %.0f s; %d failed%s" % (len(seeds), len(all_facts), time.time() - started, len(failed),
                                                      (": SEED=" + " SEED=".join(map(str, sorted(failed))))
                                                      if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
