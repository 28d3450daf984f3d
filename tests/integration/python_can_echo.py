#!/usr/bin/python3
"""Echo peer for the integration tests: joins a quorbus bus with python-can's
socketcand client and answers every frame with identifier + 1 and the same
data and format. Prints "ready" once connected; ends after COUNT answers.

usage: python_can_echo.py PORT BUS COUNT
"""
import logging
import sys

import can


def main():
    # python-can warns about the newline the hub writes after each message.
    logging.getLogger("can.interfaces.socketcand").setLevel(logging.ERROR)
    port, bus_name, count = int(sys.argv[1]), sys.argv[2], int(sys.argv[3])
    bus = can.interface.Bus(interface="socketcand", host="127.0.0.1", port=port,
                            channel=bus_name)
    print("ready", flush=True)
    answered = 0
    try:
        while answered < count:
            msg = bus.recv(timeout=30)
            if msg is None:
                print("timeout", flush=True)
                return 1
            # python-can 4.1 marks every received frame extended and writes
            # identifiers without padding: the hub tells the formats apart by
            # value, and so does this script.
            extended = msg.arbitration_id > 0x7FF
            reply = can.Message(arbitration_id=msg.arbitration_id + 1, data=msg.data,
                                is_extended_id=extended)
            bus.send(reply)
            answered += 1
            print("echo %X %s %s" % (msg.arbitration_id, "ext" if extended else "std",
                                     msg.data.hex()), flush=True)
    finally:
        bus.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
