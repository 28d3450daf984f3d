#!/usr/bin/python3
"""python_can_client.py PORT CHANNEL COUNT: answers COUNT frames with id + 1, same data."""
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
            answer_id = message.arbitration_id + 1  # python-can 4.1 marks all frames extended
            bus.send(can.Message(arbitration_id=answer_id, data=message.data,
                                 is_extended_id=answer_id > 0x7FF))
    finally:
        bus.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
