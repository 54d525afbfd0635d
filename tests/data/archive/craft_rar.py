#!/usr/bin/env python3
"""Writes two small RAR archives that hold stored (uncompressed) files, built
block by block after the published RAR archive format descriptions (RAR 1.5
to 4.x "technote", RAR 5.0 "archive format"), since no Debian tool makes RAR
archives.

  craft_rar.py OUT_DIR  ->  OUT_DIR/stored4.rar, OUT_DIR/stored5.rar
"""
import random
import struct
import sys
import zlib

NOISE = random.Random(5)
FILES = [
    ("notes.txt", b"Packing list for the trip\n" + b"- camera, two cards, charger\n" * 20),
    ("raw/noise.bin", bytes(NOISE.getrandbits(8) for _ in range(6000))),
]
DOS_TIME = (2026 - 1980) << 25 | 5 << 21 | 17 << 16 | 10 << 11 | 30 << 5  # 17 May 2026 10:30
UNIX_TIME = 1779013800


def crc(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def rar4():
    out = bytearray(b"Rar!\x1a\x07\x00")
    archive = struct.pack("<BHHHI", 0x73, 0x0000, 13, 0, 0)
    out += struct.pack("<H", crc(archive) & 0xFFFF) + archive
    for name, data in FILES:
        name = name.replace("/", "\\").encode()
        fields = struct.pack("<BHH", 0x74, 0x8000, 32 + len(name))
        fields += struct.pack("<IIBIIBBHI", len(data), len(data), 2, crc(data), DOS_TIME, 20, 0x30, len(name), 0x20)
        fields += name
        out += struct.pack("<H", crc(fields) & 0xFFFF) + fields + data
    end = struct.pack("<BHH", 0x7B, 0x4000, 7)
    out += struct.pack("<H", crc(end) & 0xFFFF) + end
    return bytes(out)


def vint(value):
    out = bytearray()
    while True:
        byte = value & 0x7F
        value >>= 7
        out.append(byte | (0x80 if value else 0))
        if not value:
            return bytes(out)


def block5(fields, data=b""):
    body = vint(len(fields)) + fields
    return struct.pack("<I", crc(body)) + body + data


def rar5():
    out = bytearray(b"Rar!\x1a\x07\x01\x00")
    out += block5(vint(1) + vint(0) + vint(0))  # main header: type 1, no flags, archive flags 0
    for name, data in FILES:
        name = name.encode()
        fields = vint(2) + vint(0x0002) + vint(len(data))  # file header with a data area
        fields += vint(0x0006) + vint(len(data)) + vint(0o644)  # mtime and CRC32 present
        fields += struct.pack("<II", UNIX_TIME, crc(data))
        fields += vint(0) + vint(1) + vint(len(name)) + name  # stored, Unix host
        out += block5(fields, data)
    out += block5(vint(5) + vint(0) + vint(0))  # end of archive
    return bytes(out)


if __name__ == "__main__":
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    with open(folder + "/stored4.rar", "wb") as f:
        f.write(rar4())
    with open(folder + "/stored5.rar", "wb") as f:
        f.write(rar5())
