#!/usr/bin/env python3
"""Writes a classic pcap of N Ethernet frames (default 100000), snapshot 64,
in a mix like a desktop's traffic as seen by the adapter 192.168.1.10:
IPv4 TCP (web, both directions), IPv4 UDP (DNS, QUIC, NTP, DHCP), ICMP echo,
IPv6 TCP/UDP/ICMPv6, a little ARP and loopback. Deterministic (fixed seed).

    python3 make_bench_pcap.py OUTPUT.pcap [N]
"""
import ipaddress
import random
import struct
import sys

ADAPTER = "192.168.1.10"
SNAPLEN = 64
OWN = bytes.fromhex("02000000000a")
ROUTER = bytes.fromhex("020000000001")


def ip4(text):
    return ipaddress.IPv4Address(text).packed


def ip6(text):
    return ipaddress.IPv6Address(text).packed


def v4(src, dst, proto, l4, length):
    header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, length, random.getrandbits(16), 0x4000, 64, proto, 0,
                         ip4(src), ip4(dst))
    return ROUTER + OWN + b"\x08\x00" + header + l4


def v6(src, dst, nh, l4, length):
    header = struct.pack("!IHBB", 0x60000000 | random.getrandbits(20), length, nh, 64) + ip6(src) + ip6(dst)
    return ROUTER + OWN + b"\x86\xdd" + header + l4


def tcp(sport, dport):
    return struct.pack("!HHIIBBHHH", sport, dport, random.getrandbits(32), random.getrandbits(32), 0x50, 0x18,
                       64240, 0, 0) + b"\x17\x03\x03\x00\x20" * 4


def udp(sport, dport, size):
    return struct.pack("!HHHH", sport, dport, 8 + size, 0) + bytes(random.getrandbits(8) for _ in range(24))


SERVERS = ["203.0.113.7", "198.51.100.20", "142.250.74.46", "151.101.1.69", "93.184.216.34"]
SERVERS6 = ["2001:db8::10", "2a00:1450:4001:82b::200e", "2606:4700::6810:84e5"]
SELF6 = "2001:db8:0:1::a"


def frame():
    r = random.random()
    server = random.choice(SERVERS)
    eph = random.randint(49152, 65535)
    if r < 0.30:
        return v4(server, ADAPTER, 6, tcp(random.choice([443, 443, 443, 80]), eph), 1500)
    if r < 0.55:
        return v4(ADAPTER, server, 6, tcp(eph, random.choice([443, 443, 80, 22])), 52)
    if r < 0.62:
        return v4(ADAPTER, "192.168.1.1", 17, udp(eph, 53, 30), 58)
    if r < 0.69:
        return v4("192.168.1.1", ADAPTER, 17, udp(53, eph, 90), 118)
    if r < 0.74:
        return v4(server, ADAPTER, 17, udp(443, eph, 1200), 1228)
    if r < 0.75:
        return v4(ADAPTER, "162.159.200.1", 17, udp(123, 123, 48), 76)
    if r < 0.78:
        return v4(ADAPTER, "8.8.8.8", 1, b"\x08\x00\x00\x00\x00\x01" + struct.pack("!H", eph) + b"x" * 32, 60)
    if r < 0.80:
        return v4("8.8.8.8", ADAPTER, 1, b"\x00\x00\x00\x00\x00\x01" + struct.pack("!H", eph) + b"x" * 32, 60)
    if r < 0.88:
        return v6(random.choice(SERVERS6), SELF6, 6, tcp(443, eph), 1440)
    if r < 0.93:
        return v6(SELF6, random.choice(SERVERS6), 6, tcp(eph, 443), 32)
    if r < 0.96:
        return v6(SELF6, "2001:4860:4860::8888", 17, udp(eph, 53, 30), 38)
    if r < 0.98:
        return v6("fe80::1", "ff02::1", 58, b"\x86\x00" + bytes(30), 32)
    if r < 0.99:
        return ROUTER + OWN + b"\x08\x06" + struct.pack("!HHBBH", 1, 0x0800, 6, 4, 1) + ROUTER + ip4("192.168.1.1") \
            + bytes(6) + ip4(ADAPTER) + bytes(18)
    return bytes(12) + b"\x08\x00" + v4("127.0.0.1", "127.0.0.1", 6, tcp(eph, 8080), 60)[14:]


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 100000
    random.seed(20131105)
    seconds, micros = 1420070400, 0
    with open(out, "wb") as f:
        f.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, SNAPLEN, 1))
        for _ in range(count):
            whole = frame()
            captured = whole[:SNAPLEN]
            f.write(struct.pack("<IIII", seconds, micros, len(captured), max(len(whole), 60)) + captured)
            micros += random.randint(1, 400)
            seconds, micros = seconds + micros // 1000000, micros % 1000000


if __name__ == "__main__":
    main()
