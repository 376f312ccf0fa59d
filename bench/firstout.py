#!/usr/bin/env python3
"""Prints when the first discovery request left this namespace: the kernel's
timestamp (Unix seconds) of the first outgoing UDP datagram to port 2016 with
opcode 1 on INTERFACE. Creates READY_FILE once it listens; gives up after
TIMEOUT seconds and prints nothing.

  firstout.py INTERFACE READY_FILE [TIMEOUT]
"""
import socket
import struct
import sys

ETH_P_ALL = 0x0003  # outgoing datagrams reach only the taps that take every protocol
ETH_P_IP = 0x0800
SO_TIMESTAMPNS = getattr(socket, "SO_TIMESTAMPNS", 35)
PACKET_OUTGOING = 4


def main():
    interface, ready = sys.argv[1], sys.argv[2]
    timeout = float(sys.argv[3]) if len(sys.argv) > 3 else 30
    s = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(ETH_P_ALL))
    s.bind((interface, ETH_P_ALL))
    s.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
    s.settimeout(timeout)
    open(ready, "w").close()
    while True:
        try:
            data, anc, _, address = s.recvmsg(2048, 64)
        except socket.timeout:
            return
        if address[1] != ETH_P_IP or address[2] != PACKET_OUTGOING or len(data) < 29 or data[9] != 17:
            continue
        header = (data[0] & 0x0F) * 4
        port = struct.unpack("!H", data[header + 2:header + 4])[0]
        if port != 2016 or data[header + 8] != 1:
            continue
        for level, kind, value in anc:
            if level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS:
                seconds, nanos = struct.unpack("qq", value[:16])
                print(f"{seconds}.{nanos:09d}")
                return


if __name__ == "__main__":
    main()
