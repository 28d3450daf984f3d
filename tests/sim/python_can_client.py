#!/usr/bin/python3
"""python-can's socketcand client as a quorbus peer for the sim tests.

usage: python_can_client.py PORT CHANNEL COUNT

Joins CHANNEL on 127.0.0.1, prints "ready", answers each of COUNT frames with
identifier + 1 and the same data, then leaves. python-can 4.1 marks every
received frame extended, so an answer is extended when its id needs 29 bits.
"""
import logging
import sys

import can

RECEIVE_LIMIT_S = 10.0


def main():
    logging.getLogger("can").setLevel(logging.ERROR)  # python-can warns about newlines
    port, channel, count = int(sys.argv[1]), sys.argv[2], int(sys.argv[3])
    bus = can.interface.Bus(interface="socketcand", host="127.0.0.1", port=port, channel=channel)
    print("ready", flush=True)
    try:
        for _ in range(count):
            message = bus.recv(RECEIVE_LIMIT_S)
            if message is None:
                print("timeout", flush=True)
                return 1
            answer_id = message.arbitration_id + 1
            bus.send(can.Message(arbitration_id=answer_id, data=message.data,
                                 is_extended_id=answer_id > 0x7FF))
    finally:
        bus.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
