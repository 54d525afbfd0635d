#!/usr/bin/env python3
"""Gives an ffmpeg transport stream the registration descriptors that camcorders write.

usage: mark_stream.py hdmv IN.m2ts OUT.m2ts   (192-byte units, AVCHD style)
       mark_stream.py tshv IN.ts OUT.m2t      (188-byte packets, HDV style)

hdmv: drops the leading SDT unit (camcorders start with PAT, PMT) and adds an
"HDMV" registration descriptor to the first elementary stream of the first PMT
(ffmpeg already writes one for the programme). tshv: adds a "TSHV" registration
descriptor to the programme information of the first PMT. The section CRC is
recomputed.
"""
import sys


def crc32_mpeg(data):
    crc = 0xFFFFFFFF
    for byte in data:
        crc ^= byte << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7) if crc & 0x80000000 else crc << 1
            crc &= 0xFFFFFFFF
    return crc


def patch_pmt(packet, insert_at, descriptor, length_field):
    """packet: 188-byte PMT packet with pointer field 0. insert_at: offset in the
    packet where the descriptor goes; length_field: offset of the 12-bit length
    that covers it (programme info or ES info)."""
    section = 5  # 4-byte header + pointer field
    section_length = ((packet[section + 1] & 0x0F) << 8) | packet[section + 2]
    end = section + 3 + section_length  # one past the CRC
    body = bytearray(packet[section:end - 4])
    rel = insert_at - section
    body[rel:rel] = descriptor
    field = length_field - section
    value = (((body[field] & 0x0F) << 8) | body[field + 1]) + len(descriptor)
    body[field] = (body[field] & 0xF0) | (value >> 8)
    body[field + 1] = value & 0xFF
    section_length += len(descriptor)
    body[1] = (body[1] & 0xF0) | (section_length >> 8)
    body[2] = section_length & 0xFF
    crc = crc32_mpeg(body)
    out = bytearray(packet[:section]) + body + crc.to_bytes(4, "big")
    out += b"\xff" * (188 - len(out))
    assert len(out) == 188
    return bytes(out)


def main():
    mode, src, dst = sys.argv[1:4]
    data = open(src, "rb").read()
    if mode == "hdmv":
        unit = 192
        data = data[unit:]  # the SDT unit
        pmt = unit + 4      # second unit, after its 4-byte time code
        packet = data[pmt:pmt + 188]
        info_length = ((packet[15] & 0x0F) << 8) | packet[16]
        first_stream = 17 + info_length
        patched = patch_pmt(packet, first_stream + 5, b"\x05\x04HDMV", first_stream + 3)
    else:
        pmt = 2 * 188
        packet = data[pmt:pmt + 188]
        patched = patch_pmt(packet, 17, b"\x05\x04TSHV", 15)
    data = data[:pmt] + patched + data[pmt + 188:]
    open(dst, "wb").write(data)


main()
