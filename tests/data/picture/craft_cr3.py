#!/usr/bin/env python3
"""Writes a small Canon CR3 raw image, box by box after the published layout of
the format (an ISO base media file of major brand "crx "), since no Debian
tool writes CR3 files:

  ftyp  "crx ", compatible "crx " and "isom"
  moov  Canon's uuid box (CNCV version text, CMT1 with the TIFF IFD0 naming
        the camera, THMB thumbnail) and a movie header
  uuid  XMP packet
  uuid  PRVW preview JPEG
  mdat  full-size JPEG and the raw data

The JPEGs are made with ImageMagick; the raw data is pseudo-random.

  craft_cr3.py OUT.cr3
"""
import random
import struct
import subprocess
import sys

CANON = bytes.fromhex("85c0b687820f11e08111f4ce462b6a48")
XMP = bytes.fromhex("be7acfcb97a942e89c71999491e3afac")
PREVIEW = bytes.fromhex("eaf42b5e1c984b88b9fbb7dc406e4d16")


def box(kind, payload):
    return struct.pack(">I", 8 + len(payload)) + kind + payload


def jpeg(size):
    return subprocess.run(["convert", "-size", size, "plasma:fractal", "-seed", "3", "-quality", "70",
                           "jpg:-"], check=True, capture_output=True).stdout


def tiff_ifd0():
    make, model = b"Canon\0", b"Canon EOS R6\0"
    entries = [(0x010F, 2, len(make), 8 + 2 + 2 * 12 + 4), (0x0110, 2, len(model), 8 + 2 + 2 * 12 + 4 + len(make))]
    out = b"II*\0" + struct.pack("<I", 8) + struct.pack("<H", len(entries))
    for tag, kind, count, offset in entries:
        out += struct.pack("<HHII", tag, kind, count, offset)
    return out + struct.pack("<I", 0) + make + model


def main(path):
    thumbnail, preview, full = jpeg("80x60"), jpeg("160x107"), jpeg("320x214")
    ftyp = box(b"ftyp", b"crx " + struct.pack(">I", 1) + b"crx isom")
    thmb = box(b"THMB", struct.pack(">BxxxHHIHH", 0, 80, 60, len(thumbnail), 1, 0) + thumbnail)
    canon = box(b"uuid", CANON + box(b"CNCV", b"CanonCR3_001/00.10.00/00.00.00")
                + box(b"CMT1", tiff_ifd0()) + thmb)
    mvhd = box(b"mvhd", bytes(4) + bytes(8) + struct.pack(">II", 1000, 1) + bytes(80))
    moov = box(b"moov", canon + mvhd)
    xmp = box(b"uuid", XMP + b'<?xpacket begin="" id="W5M0MpCehiHzreSzNTczkc9d"?><x:xmpmeta xmlns:x="adobe:ns:meta/"/>'
              b'<?xpacket end="w"?>')
    prvw = box(b"uuid", PREVIEW + bytes(8) + box(b"PRVW", struct.pack(">IHHHHI", 0, 1, 160, 107, 1, len(preview))
                                                  + preview))
    noise = random.Random(11)
    mdat = box(b"mdat", full + bytes(noise.getrandbits(8) for _ in range(8000)))
    with open(path, "wb") as f:
        f.write(ftyp + moov + xmp + prvw + mdat)


if __name__ == "__main__":
    main(sys.argv[1])
