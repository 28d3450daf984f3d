#!/usr/bin/python3
"""A python-can socketcand client for the quorbus tests.

usage: python_can_client.py HOST PORT CHANNEL COUNT

Joins CHANNEL, prints "ready", prints "rx ID DATA" (hex) for each of COUNT
received frames, then sends four frames (standard and extended), prints
"sent" and waits for a line on stdin before it leaves. python-can 4.1 marks
every received frame as extended, so the id is all it can tell.
"""
import logging
import sys

import can

logging.getLogger("can").setLevel(logging.ERROR)  # python-can warns about newlines

FRAMES_TO_SEND = [
    can.Message(arbitration_id=0x123, data=[1, 2, 3], is_extended_id=False),
    can.Message(arbitration_id=0x1ABCD, data=[0xAA], is_extended_id=True),
    can.Message(arbitration_id=0x12345678, data=[], is_extended_id=True),
    can.Message(arbitration_id=0x7FF, data=list(range(8)), is_extended_id=False),
]
RECEIVE_LIMIT_S = 10.0


def main():
    host, port, channel, count = sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4])
    bus = can.interface.Bus(interface="socketcand", host=host, port=port, channel=channel)
    print("ready", flush=True)
    for _ in range(count):
        message = bus.recv(RECEIVE_LIMIT_S)
        if message is None:
            print("timeout", flush=True)
            return 1
        print(f"rx {message.arbitration_id:X} {bytes(message.data).hex().upper()}", flush=True)
    for message in FRAMES_TO_SEND:
        bus.send(message)
    print("sent", flush=True)
    sys.stdin.readline()
    bus.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
