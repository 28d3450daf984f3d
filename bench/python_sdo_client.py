#!/usr/bin/python3
"""python_sdo_client.py PORT BUS NODE MODE REPEATS: times 160000-byte SDO
downloads and uploads of NODE's entry 0x2101 over quorbus with python-canopen
when it is installed, else with the minimal python-can client below (same
protocol steps, no object dictionary). MODE: segmented or block (block needs
python-canopen). Prints one line per transfer: "download|upload SECONDS"."""
import logging
import struct
import sys
import time

import can

BYTES = 160000
INDEX, SUBINDEX = 0x2101, 0
TIMEOUT_S = 5.0


def data():
    return bytes(i & 0xFF for i in range(BYTES))


class MinimalSdoClient:
    """Expedited-free segmented SDO client on python-can (CiA 301 framing)."""

    def __init__(self, bus, node):
        self.bus, self.tx, self.rx = bus, 0x600 + node, 0x580 + node

    def request(self, payload):
        self.bus.send(can.Message(arbitration_id=self.tx, data=payload, is_extended_id=False))
        while True:
            message = self.bus.recv(TIMEOUT_S)
            if message is None:
                raise TimeoutError("no SDO response")
            if message.arbitration_id == self.rx:
                if message.data[0] == 0x80:
                    raise RuntimeError("SDO abort %08X" % struct.unpack_from("<I", message.data, 4))
                return message.data

    def download(self, payload):
        self.request(struct.pack("<BHBI", 0x21, INDEX, SUBINDEX, len(payload)))
        toggle = 0
        for offset in range(0, len(payload), 7):
            chunk = payload[offset:offset + 7]
            last = offset + 7 >= len(payload)
            command = (toggle << 4) | ((7 - len(chunk)) << 1) | (1 if last else 0)
            self.request(bytes([command]) + chunk + bytes(7 - len(chunk)))
            toggle ^= 1

    def upload(self):
        response = self.request(struct.pack("<BHBI", 0x40, INDEX, SUBINDEX, 0))
        size = struct.unpack_from("<I", response, 4)[0]
        out, toggle = bytearray(), 0
        while len(out) < size:
            response = self.request(bytes([0x60 | (toggle << 4)]) + bytes(7))
            n = 7 - ((response[0] >> 1) & 7)
            out += response[1:1 + n]
            toggle ^= 1
            if response[0] & 1:
                break
        return bytes(out)


def main():
    logging.getLogger("can").setLevel(logging.ERROR)
    port, bus_name, node, mode, repeats = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], int(sys.argv[5])
    payload = data()
    try:
        import canopen  # python-canopen
    except ImportError:
        canopen = None
    if canopen is None and mode == "block":
        print("skipped: block transfer needs python-canopen", flush=True)
        return 0
    if canopen is not None:
        network = canopen.Network()
        network.connect(interface="socketcand", host="127.0.0.1", port=int(port), channel=bus_name)
        sdo = network.add_node(node, canopen.ObjectDictionary()).sdo
        sdo.RESPONSE_TIMEOUT = TIMEOUT_S
        block = mode == "block"
        print("client python-canopen %s" % getattr(canopen, "__version__", "?"), flush=True)

        def download():
            with sdo.open(INDEX, SUBINDEX, "wb", size=len(payload), block_transfer=block) as f:
                f.write(payload)

        def upload():
            with sdo.open(INDEX, SUBINDEX, "rb", block_transfer=block) as f:
                return f.read()
        close = network.disconnect
    else:
        bus = can.interface.Bus(interface="socketcand", host="127.0.0.1", port=int(port), channel=bus_name)
        client = MinimalSdoClient(bus, node)
        print("client python-can minimal SDO client (python-canopen not installed)", flush=True)
        download, upload, close = (lambda: client.download(payload)), client.upload, bus.shutdown
    try:
        for _ in range(repeats):
            start = time.perf_counter()
            download()
            print("download %.6f" % (time.perf_counter() - start), flush=True)
            start = time.perf_counter()
            back = upload()
            print("upload %.6f" % (time.perf_counter() - start), flush=True)
            if back != payload:
                print("error: upload differs from download", flush=True)
                return 1
    finally:
        close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
