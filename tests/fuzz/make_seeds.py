#!/usr/bin/env python3
"""Seed corpora for the fuzz targets, cut from the test fixtures.

    make_seeds.py SOURCE_DIR OUT_DIR

Writes OUT_DIR/packet, OUT_DIR/ipconfig and OUT_DIR/profile_number.
"""
import glob
import os
import struct
import sys


def frames(path):
    with open(path, "rb") as f:
        data = f.read()
    magic = struct.unpack("<I", data[:4])[0]
    order = "<" if magic in (0xA1B2C3D4, 0xA1B23C4D) else ">"
    at = 24
    while at + 16 <= len(data):
        seconds, _, captured, _ = struct.unpack(order + "IIII", data[at:at + 16])
        at += 16
        yield seconds, data[at:at + captured]
        at += captured


def write(directory, name, data):
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as f:
        f.write(data)


def main():
    source, out = sys.argv[1], sys.argv[2]
    fixtures = os.path.join(source, "tests", "fixtures")

    # Packet: options byte (logging on, adapter 192.168.1.10, colours 1 and 2),
    # the capture seconds, the own IPv6 address table (a count byte, then 16
    # bytes each: an IPv6 frame's own source, so that both directions are
    # seeded), the frame.
    options = 1 | 2 | (1 << 3) | (2 << 5)
    n = 0
    for capture in sorted(glob.glob(os.path.join(fixtures, "**", "*.pcap"), recursive=True)):
        seen = set()
        for seconds, frame in frames(capture):
            frame = frame[:64]
            if frame in seen:
                continue
            seen.add(frame)
            ipv6 = len(frame) >= 14 + 24 and frame[14] >> 4 == 6
            table = bytes([1]) + frame[22:38] if ipv6 and n % 2 == 0 else bytes([0])
            write(os.path.join(out, "packet"), "frame_%04d" % n,
                  bytes([options]) + struct.pack("<q", seconds) + table + frame)
            n += 1
    # Short frames and a bare header, logging off.
    write(os.path.join(out, "packet"), "empty", bytes([2]) + bytes(9))
    write(os.path.join(out, "packet"), "ethernet_only", bytes([3]) + bytes(9) + bytes(14))

    # Report parser: every report fixture as it is.
    for report in sorted(glob.glob(os.path.join(fixtures, "**", "*.txt"), recursive=True)):
        if "ipconfig" not in report:
            continue
        with open(report, "rb") as f:
            data = f.read()
        if len(data) <= 1 << 20:
            name = os.path.relpath(report, fixtures).replace(os.sep, "_")
            write(os.path.join(out, "ipconfig"), name, data)

    # Settings numbers: the values the settings tests use and a few limits.
    for i, text in enumerate([b"100", b"50", b"-1", b"-2", b"0", b"20", b"  250", b"+7",
                              b"-3", b"abc", b"", b"2147483647", b"-2147483648",
                              b"99999999999999999999", b"12abc", b"\t-0", b"- 5"]):
        write(os.path.join(out, "profile_number"), "value_%02d" % i, text)


if __name__ == "__main__":
    main()
