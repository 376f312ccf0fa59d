#!/usr/bin/env python3
"""Reads the board simulator's JSON summary for the end-to-end tests.

simq.py SUMMARY requests [--op OP] [--board IP]   one line a request, in time order:
                                                   "<board ip> <op> <seq> <size> <dst> <from address> <transmission>"
simq.py SUMMARY flags                              "<board ip> <text>" for every flag; nothing when clean
simq.py SUMMARY image IP                           "<complete> <identical> <size> <file>" of the board's last image
simq.py SUMMARY strays                             "<opcode> <size> <dst>" for datagrams no board took
"""
import json
import sys


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        summary = json.load(f)
    what, args = argv[2], argv[3:]
    boards = summary.get("boards", [])
    if what == "requests":
        op = args[args.index("--op") + 1] if "--op" in args else None
        only = args[args.index("--board") + 1] if "--board" in args else None
        rows = []
        for b in boards:
            if only and b["ip"] != only:
                continue
            for r in b.get("requests", []):
                if op and r.get("op") != op:
                    continue
                sender = r.get("from", "").split(":")[0]
                rows.append((r.get("t", 0), b["ip"], r.get("op"), r.get("seq"), r.get("size"), r.get("dst"),
                             sender, r.get("transmission")))
        for row in sorted(rows, key=lambda x: x[0]):
            print(*row[1:])
    elif what == "flags":
        for b in boards:
            for fl in b.get("flags", []):
                print(b["ip"], fl.get("text"))
    elif what == "image":
        for b in boards:
            if b["ip"] == args[0] and b.get("images"):
                im = b["images"][-1]
                print("complete" if im.get("complete") else "partial",
                      "identical" if im.get("identical") else "different", im.get("size"), im.get("file"))
    elif what == "strays":
        for s in summary.get("strays", []):
            print(s.get("opcode"), s.get("size"), s.get("dst"))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
