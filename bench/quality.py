#!/usr/bin/env python3
"""Recovery quality: how many files come back byte for byte.

Builds card and disk images at bench time from real files made by real tools,
keeps the ground truth of every file (offset, size, SHA-256), recovers each
image with salvora (every type on, then each type alone) and scores every
output byte for byte against the truth:

  exact      starts where a file starts and holds exactly its bytes
  overlong   starts there and holds its bytes and more
  truncated  starts there and holds only the first part of it
  split      starts inside a file (a piece of it), or starts where a file
             starts but differs from it
  embedded   starts inside a file and is a whole file embedded in it (a
             picture in a document, a frame of a video) saved again
  false +    starts where no file lies

One table per image: recall (exact / files), precision (exact / outputs),
bytes written to disk against bytes kept. Image kinds are rows of IMAGE_KINDS
and score columns of SCORES, so other kinds and columns can be added there.

The FAT32 card also holds fragmented files, laid out by mtools the way a card
looks after a while of writing and deleting: live files in two or three
pieces with other files between them, deleted files in two pieces whose gap
held a file deleted too (photos, which a join may find, and a PNG and a WAV,
for which none is searched), and deleted files whose clusters went around a
live file. Their truth (where each piece lies) comes from mshowfat before they
were deleted. They are scored apart ("frag" column: exact / fragmented files)
and, with foremost and scalpel recovering the same card, compared by
SHA-256 among every carver's outputs (target: at least 60% byte-exact).

Usage: quality.py --build BUILD_DIR [--work DIR] [--kind TEXT]
(--kind: only the images whose title holds TEXT, for example "FAT32")
"""
import argparse
import csv
import hashlib
import os
import random
import re
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SAMPLES = "/work/shared/samples"
CLUSTER = 4096

# The family (the name --types takes) of each file extension.
FAMILY = {
    "jpg": "jpg", "tif": "tif", "cr2": "tif", "nef": "tif", "dng": "tif", "rw2": "raw", "raf": "raf",
    "mrw": "mrw", "crw": "crw", "x3f": "x3f", "doc": "doc", "xls": "doc", "ppt": "doc", "docx": "zip",
    "xlsx": "zip", "pptx": "zip", "odt": "zip", "ods": "zip", "odp": "zip", "zip": "zip", "pdf": "pdf",
    "avi": "riff", "wav": "riff", "mp4": "mov", "mov": "mov", "jp2": "mov", "ts": "m2ts", "m2ts": "m2ts",
    "mpg": "mpg", "mp3": "mp3", "bmp": "bmp",
    # The newer families: pictures, phone photos, video, audio, a database and archives.
    "png": "png", "gif": "gif", "webp": "webp", "heic": "heic", "avif": "heic", "mkv": "mkv", "webm": "mkv",
    "flac": "flac", "ogg": "ogg", "opus": "ogg", "m4a": "m4a", "sqlite": "sqlite", "7z": "7z",
}
# Families whose formats define where a file ends (the others run to the next file).
END_DEFINED = {"jpg", "tif", "doc", "zip", "pdf", "riff", "mov", "m2ts", "mpg", "mp3", "bmp", "png", "gif", "webp",
               "heic", "mkv", "flac", "ogg", "m4a", "sqlite", "7z"}
# Extensions a recovered file may carry for a file of each extension.
NAMES = {"jpg": {"jpg"}, "m2ts": {"m2ts", "mts"}, "mpg": {"mpg"}, "tif": {"tif"}}

SCORES = ["exact", "overlong", "truncated", "split", "embedded", "false+"]


def run(cmd, **kwargs):
    return subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kwargs)


def sha256(data):
    return hashlib.sha256(data).hexdigest()


# --- Real files ---------------------------------------------------------------

def make_files(files):
    """Makes the real files once (they are kept between runs); returns their paths."""
    files = os.path.abspath(files)
    os.makedirs(files, exist_ok=True)

    def made(name, *commands):
        path = os.path.join(files, name)
        if not os.path.exists(path) or os.path.getsize(path) == 0:
            for command in commands:
                run([c.replace("OUT", path) for c in command], cwd=files)
        return path

    thumb = os.path.join(files, "thumb.jpg")
    for n in range(1, 7):
        # Camera-style photos: Exif with a thumbnail, no JFIF segment.
        name = f"photo{n}.jpg"
        path = os.path.join(files, name)
        if not os.path.exists(path):
            run(["convert", "-size", f"{1200 + 200 * n}x{900 + 100 * n}", f"plasma:rgb({n * 30},60,90)-rgb(220,{n * 25},160)",
                 "-seed", str(n), "-attenuate", "0.3", "+noise", "Gaussian", "-quality", "88", path])
            run(["convert", path, "-resize", "160x120", "-quality", "70", "-strip", thumb])
            run(["exiftool", "-q", "-overwrite_original", "-Make=Korvell", f"-Model=TestCam {n}",
                 "-DateTimeOriginal=2026:11:30 10:15:00", f"-ThumbnailImage<={thumb}", "-JFIF:all=", path])
    for n in range(1, 4):
        made(f"progressive{n}.jpg", ["convert", "-size", f"{900 + 100 * n}x700", f"plasma:gold-navy", "-seed",
                                     str(10 + n), "-quality", "85", "-interlace", "Plane", "OUT"])
    made("scan.tif", ["convert", "-size", "800x600", "gradient:white-teal", "-compress", "lzw", "OUT"])
    made("page.tif", ["convert", "-size", "640x480", "plasma:", "-seed", "7", "-compress", "none", "OUT"])
    made("chart.bmp", ["convert", "-size", "400x300", "gradient:red-blue", "BMP3:OUT"])
    made("picture.jp2", ["convert", "-size", "1920x1080", "plasma:", "-seed", "9", "ppm:wide.ppm"],
         ["opj_compress", "-i", "wide.ppm", "-o", "OUT", "-r", "80"])
    lavfi = ["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25",
             "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", "4"]
    made("clip_mjpeg.avi", lavfi + ["-c:v", "mjpeg", "-q:v", "5", "-c:a", "pcm_s16le", "OUT"])
    made("clip.mp4", lavfi + ["-c:v", "mpeg4", "-q:v", "5", "-c:a", "aac", "OUT"])
    made("clip.mov", lavfi + ["-c:v", "mjpeg", "-q:v", "6", "-c:a", "pcm_s16le", "OUT"])
    made("clip.ts", lavfi + ["-c:v", "mpeg2video", "-b:v", "1500k", "-c:a", "mp2", "-f", "mpegts", "OUT"])
    made("clip.m2ts", lavfi + ["-c:v", "mpeg2video", "-b:v", "1500k", "-c:a", "mp2", "-f", "mpegts",
                               "-mpegts_m2ts_mode", "1", "OUT"])
    made("clip.mpg", lavfi + ["-c:v", "mpeg2video", "-b:v", "1500k", "-c:a", "mp2", "-f", "vob", "OUT"])
    made("tone.wav", ["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "OUT", "synth", "6", "sine", "440",
                      "sine", "660"])
    made("tone.mp3", ["lame", "--quiet", "-b", "160", os.path.join(files, "tone.wav"), "OUT"])
    # LibreOffice documents: the committed test files and a document with
    # pictures in it, and a PDF with an incremental update (ExifTool appends one).
    for name in ["office/letter.doc", "office/sheet.xls", "office/slides.ppt", "office/letter.docx",
                 "office/sheet.xlsx", "office/slides.pptx", "office/letter.odt", "office/sheet.ods",
                 "office/album.odt", "pdf/libreoffice_note.pdf"]:
        shutil.copy(os.path.join(ROOT, "tests/data", name), files)
    made("updated.pdf", ["cp", os.path.join(ROOT, "tests/data/pdf/libreoffice_note.pdf"), "OUT"],
         ["exiftool", "-q", "-overwrite_original", "-Title=Trip notes", "-Author=Salvora bench", "OUT"])
    # The newer families, made by ImageMagick, cwebp, ffmpeg, sqlite3 and 7z.
    made("drawing.png", ["convert", "-size", "640x480", "plasma:fractal", "-seed", "21", "OUT"])
    made("banner.gif", ["convert", "-delay", "10", "-size", "160x120", "plasma:", "plasma:", "plasma:", "-loop",
                        "0", "OUT"])
    made("photo.webp", ["cwebp", "-quiet", "-q", "75", os.path.join(files, "drawing.png"), "-o", "OUT"])
    made("phone.heic", ["convert", os.path.join(files, "drawing.png"), "-quality", "70", "OUT"])
    made("phone.avif", ["convert", os.path.join(files, "drawing.png"), "-quality", "70", "OUT"])
    made("clip.mkv", lavfi + ["-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac", "OUT"])
    made("clip.webm", lavfi + ["-c:v", "libvpx", "-b:v", "300k", "-c:a", "libvorbis", "OUT"])
    made("tone.flac", ["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=520", "-t", "5",
                       "-c:a", "flac", "OUT"])
    made("tone.ogg", ["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=540", "-t", "5",
                      "-c:a", "libvorbis", "OUT"])
    made("noise.opus", ["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "anoisesrc=amplitude=0.2",
                        "-t", "4", "-c:a", "libopus", "OUT"])
    made("tone.m4a", ["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=560", "-t", "5",
                      "-c:a", "aac", "OUT"])
    made("notes.sqlite", ["sqlite3", "OUT", "create table t(a, b); with recursive k(i) as (select 1 union all "
                          "select i + 1 from k where i < 3000) insert into t select i, hex(randomblob(40)) from k;"])
    made("pictures.7z", ["7z", "a", "-bd", "-bso0", "OUT", os.path.join(files, "drawing.png"),
                         os.path.join(files, "banner.gif")])
    for name in ["CanonRaw.cr2", "Nikon.nef", "Panasonic.rw2", "FujiFilm.raf", "Minolta.mrw", "Sigma.x3f"]:
        if os.path.exists(os.path.join(SAMPLES, name)):
            shutil.copy(os.path.join(SAMPLES, name), files)
    names = sorted(f for f in os.listdir(files) if f.rsplit(".", 1)[-1] in FAMILY and f != "thumb.jpg")
    return [os.path.join(files, f) for f in names]


# --- Images and their ground truth --------------------------------------------

class Truth:
    def __init__(self, path, offset, data, deleted=False, runs=None):
        self.name = os.path.basename(path)
        self.ext = self.name.rsplit(".", 1)[-1]
        self.family = FAMILY[self.ext]
        self.offset = offset
        self.size = len(data)
        self.sha = sha256(data)
        self.deleted = deleted
        # Where its bytes lie on the image, in file order: (offset, length).
        self.runs = runs or [(offset, len(data))]
        self.fragmented = len(self.runs) > 1
        self.data = data
        # The camera samples are stripped of their image data: shorter than
        # their own directories say, so no end can be found for them. They
        # are laid out and recovered but not scored.
        self.stripped = os.path.exists(os.path.join(SAMPLES, self.name))


def old_data(rng, length):
    return rng.randbytes(length)


def raw_image(paths, image, rng):
    """(a) The files back to back on 4 KiB clusters, old data in the slack and between some."""
    truth = []
    with open(image, "wb") as out:
        out.write(old_data(rng, 3 * CLUSTER))
        for path in rng.sample(paths, len(paths)):
            data = open(path, "rb").read()
            truth.append(Truth(path, out.tell(), data))
            out.write(data)
            slack = -len(data) % CLUSTER
            out.write(old_data(rng, slack + CLUSTER * rng.choice([0, 0, 1, 3])))
        out.write(old_data(rng, 8 * CLUSTER))
    return truth


def find_files(image, placed):
    """The offset of each (path, deleted) in the image, found by its bytes on a 512-byte boundary."""
    disk = open(image, "rb").read()
    truth = []
    claimed = set()
    # Longest first: a file that is the start of another (a PDF and its
    # updated copy) is not taken for the start of the longer one.
    for path, deleted in sorted(placed, key=lambda p: -os.path.getsize(p[0])):
        data = open(path, "rb").read()
        at = disk.find(data)
        while at >= 0 and (at % 512 != 0 or at in claimed):
            at = disk.find(data, at + 1)
        if at >= 0:
            claimed.add(at)
            truth.append(Truth(path, at, data, deleted))
    return truth


def make_fragment_files(files):
    """The files laid out in pieces on the FAT32 card: content of their own
    (no other image holds them), made once like the others."""
    folder = os.path.join(os.path.abspath(files), "fragmented")
    os.makedirs(folder, exist_ok=True)

    def made(name, *commands):
        path = os.path.join(folder, name)
        if not os.path.exists(path) or os.path.getsize(path) == 0:
            for command in commands:
                run([c.replace("OUT", path) for c in command], cwd=folder)
        return path

    for n in range(1, 7):
        made(f"frag{n}.jpg", ["convert", "-size", f"{700 + 60 * n}x{520 + 40 * n}",
                              f"plasma:rgb({n * 30},90,60)-rgb(160,{n * 20},220)", "-seed", str(40 + n),
                              "-quality", str(80 + n), "OUT"])
    made("fragtone.wav", ["sox", "-n", "-r", "22050", "-c", "1", "-b", "16", "OUT", "synth", "3", "pinknoise",
                          "vol", "0.3"])
    made("fragsong.mp3", ["sox", "-n", "-r", "44100", "-c", "2", "song.wav", "synth", "4", "sine", "330",
                          "vol", "0.4"], ["lame", "--quiet", "-b", "128", "song.wav", "OUT"])
    made("fragtone.flac", ["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                           "sine=frequency=610:sample_rate=44100", "-t", "4", "-c:a", "flac", "OUT"])
    made("fragdrawing.png", ["convert", "-size", "420x300", "plasma:fractal", "-seed", "51", "OUT"])
    made("fragbanner.gif", ["convert", "-delay", "10", "-size", "200x150", "plasma:", "plasma:", "plasma:",
                            "-loop", "0", "OUT"])
    made("fragclip.mkv", ["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                          "testsrc2=size=320x240:rate=25", "-t", "2", "-c:v", "libx264", "-pix_fmt", "yuv420p",
                          "OUT"])
    made("fraggap.png", ["convert", "-size", "360x260", "plasma:fractal", "-seed", "52", "OUT"])
    made("fraggap.wav", ["sox", "-n", "-r", "22050", "-c", "1", "-b", "16", "OUT", "synth", "3", "sine", "523",
                         "vol", "0.3"])
    made("fragaround.wav", ["sox", "-n", "-r", "22050", "-c", "1", "-b", "16", "OUT", "synth", "2", "sine",
                            "700", "vol", "0.3"])
    return {f: os.path.join(folder, f) for f in sorted(os.listdir(folder)) if f.startswith("frag")}


class FatLayout:
    """Writes files on a FAT32 image with mtools, every copy taking the first
    free clusters, and reads back where they went (mshowfat)."""

    def __init__(self, image, rng):
        self.image = image
        self.rng = rng
        self.serial = 0
        boot = open(image, "rb").read(512)
        sector = int.from_bytes(boot[11:13], "little")
        self.cluster = boot[13] * sector
        fats = boot[16] * int.from_bytes(boot[36:40], "little")
        self.data_offset = (int.from_bytes(boot[14:16], "little") + fats) * sector
        self.fsinfo = int.from_bytes(boot[48:50], "little") * sector
        self.scratch = image + ".piece"

    def put(self, source, name):
        # FSInfo: free count unknown (at 488), next free cluster 2 (at 492): mtools fills from the start.
        with open(self.image, "r+b") as disk:
            disk.seek(self.fsinfo + 488)
            disk.write(b"\xff\xff\xff\xff\x02\x00\x00\x00")
        run(["mcopy", "-i", self.image, source, "::/" + name])

    def put_bytes(self, data, name):
        with open(self.scratch, "wb") as out:
            out.write(data)
        self.put(self.scratch, name)
        os.remove(self.scratch)

    def filler(self, clusters):
        """Other data: text that ends inside its last cluster."""
        return self.rng.randbytes(clusters * self.cluster).hex().encode()[: clusters * self.cluster - 100]

    def remove(self, name):
        run(["mdel", "-i", self.image, "::/" + name])

    def runs(self, name, size):
        shown = subprocess.run(["mshowfat", "-i", self.image, "::/" + name], check=True, capture_output=True,
                               text=True).stdout
        runs, left = [], size
        for first, _, last in re.findall(r"<(\d+)(-(\d+))?>", shown):
            clusters = int(last or first) - int(first) + 1
            length = min(left, clusters * self.cluster)
            if length == 0:
                break
            runs.append((self.data_offset + (int(first) - 2) * self.cluster, length))
            left -= length
        return runs

    def around(self, source, name, holes_and_fillers):
        """The file takes holes of the given cluster counts, each followed by a
        live filler of the given cluster count, and runs on after the last."""
        holes = []
        for hole, filler in holes_and_fillers:
            self.serial += 1
            holes.append(f"HOLE{self.serial}.TMP")
            self.put_bytes(self.filler(hole), holes[-1])
            self.put_bytes(self.filler(filler), f"KEEP{self.serial}.DAT")
        for hole in holes:
            self.remove(hole)
        self.put(source, name)
        return self.runs(name, os.path.getsize(source))


def fragment_files(image, fragments, rng):
    """Lays the fragmented files out at the first free clusters; returns their
    truth and the names to delete once every file is on the card."""
    layout = FatLayout(image, rng)
    run(["mmd", "-i", image, "::/DCIM"])
    placed, deleted = [], []

    def live(key, name, pieces):
        placed.append((fragments[key], layout.around(fragments[key], name, pieces), False))

    # Live files in two or three pieces, other files between them.
    live("frag1.jpg", "DCIM/IMG_0101.JPG", [(40, 3)])
    live("frag2.jpg", "DCIM/IMG_0102.JPG", [(25, 2), (30, 4)])
    live("frag3.jpg", "DCIM/IMG_0103.JPG", [(60, 1)])
    live("fragsong.mp3", "SONG.MP3", [(12, 2), (9, 1)])
    live("fragtone.wav", "TONE.WAV", [(20, 5)])
    live("fragtone.flac", "TONE.FLAC", [(18, 2), (11, 3)])
    live("fragdrawing.png", "DCIM/DRAWING.PNG", [(35, 2)])
    live("fragbanner.gif", "DCIM/BANNER.GIF", [(14, 1), (10, 2)])
    live("fragclip.mkv", "CLIP.MKV", [(30, 2)])
    # Deleted files whose clusters went around a live file.
    for key, name, pieces in [("frag4.jpg", "DCIM/IMG_0104.JPG", [(22, 3)]),
                              ("fragaround.wav", "AROUND.WAV", [(15, 2)])]:
        placed.append((fragments[key], layout.around(fragments[key], name, pieces), True))
        deleted.append(name)
    # Deleted files in two pieces whose gap held a file deleted with them:
    # photos, and a picture and a recording (no join is searched for them).
    for n, (key, name, hole, gap) in enumerate([("frag5.jpg", "DCIM/IMG_0105.JPG", 30, 6),
                                                ("frag6.jpg", "DCIM/IMG_0106.JPG", 45, 10),
                                                ("fraggap.png", "DCIM/GAP.PNG", 40, 5),
                                                ("fraggap.wav", "GAP.WAV", 25, 8)]):
        layout.serial += 1
        layout.put_bytes(layout.filler(hole), f"HOLE{layout.serial}.TMP")
        layout.put_bytes(layout.filler(gap), f"GAP{n}.TMP")
        layout.remove(f"HOLE{layout.serial}.TMP")
        layout.put(fragments[key], name)
        placed.append((fragments[key], layout.runs(name, os.path.getsize(fragments[key])), True))
        deleted += [f"GAP{n}.TMP", name]
    for path, runs, _ in placed:
        if len(runs) < 2:
            print(f"    layout: {os.path.basename(path)} came out in one piece (scored as contiguous)")
    truth = [Truth(path, runs[0][0], open(path, "rb").read(), gone, runs) for path, runs, gone in placed]
    return truth, deleted


def fat_volume(paths, image, size_mib, fat_bits, rng, delete_every=3, fragments=None):
    """A FAT volume filled with old data, then formatted; the files copied in,
    every third one deleted (its clusters stay between live files). With
    `fragments`, those are laid out in pieces after the files; returns the
    placed files and the truth of the fragmented ones."""
    with open(image, "wb") as out:
        for _ in range(size_mib):
            out.write(old_data(rng, 1 << 20))
    # FAT32 wants at least 65525 clusters: 1 KiB ones on the small card.
    run(["mkfs.vfat", "-F", str(fat_bits), "-s", "2" if fat_bits == 32 else "4", image])
    placed = []
    for i, path in enumerate(paths):
        run(["mcopy", "-i", image, path, "::/" + f"F{i:03d}." + path.rsplit(".", 1)[-1]])
        placed.append((path, i % delete_every == delete_every - 1))
    # Before any deletion, so that the first free clusters are those after the files.
    fragmented, deleted = fragment_files(image, fragments, rng) if fragments else ([], [])
    for i, (path, gone) in enumerate(placed):
        if gone:
            run(["mdel", "-i", image, "::/" + f"F{i:03d}." + path.rsplit(".", 1)[-1]])
    for name in deleted:
        run(["mdel", "-i", image, "::/" + name])
    return placed, fragmented


def fat32_card(paths, image, rng):
    """(b) A FAT32 card whose deleted files' clusters lie between live ones,
    and fragmented files."""
    placed, fragmented = fat_volume(rng.sample(paths, len(paths)), image, 160, 32, rng,
                                    fragments=make_fragment_files(os.path.dirname(paths[0])))
    return find_files(image, placed) + fragmented


def mbr_disk(paths, image, rng):
    """(c) An MBR disk with a FAT16 and an NTFS partition, files in both."""
    order = rng.sample(paths, len(paths))
    half = len(order) // 2
    work = os.path.dirname(image)
    fat = os.path.join(work, "part1.img")
    ntfs = os.path.join(work, "part2.img")
    placed, _ = fat_volume(order[:half], fat, 100, 16, rng)
    with open(ntfs, "wb") as out:
        for _ in range(100):
            out.write(old_data(rng, 1 << 20))
    run(["mkntfs", "-F", "-Q", "-q", "-c", "4096", ntfs])
    for i, path in enumerate(order[half:]):
        run(["ntfscp", "-f", ntfs, path, f"N{i:03d}." + path.rsplit(".", 1)[-1]])
        placed.append((path, False))
    with open(image, "wb") as out:
        out.write(old_data(rng, 1 << 20))
        out.write(open(fat, "rb").read())
        out.write(open(ntfs, "rb").read())
        out.write(old_data(rng, 1 << 20))
    mib = 1 << 20
    layout = f"label: dos\nstart=2048, size={100 * mib // 512}, type=6\nstart={2048 + 100 * mib // 512}, size={100 * mib // 512}, type=7\n"
    subprocess.run(["sfdisk", "-q", image], input=layout.encode(), check=True, stdout=subprocess.DEVNULL)
    os.remove(fat)
    os.remove(ntfs)
    return find_files(image, placed)


IMAGE_KINDS = [
    ("raw: files back to back", raw_image),
    ("FAT32 card: deleted files between live ones", fat32_card),
    ("MBR disk: FAT16 and NTFS partitions", mbr_disk),
]


# --- Recovery and scoring ------------------------------------------------------

def recover(salvora, image, out, types):
    """Recovers `image` into `out`; returns the report rows and the bytes written to disk."""
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    report = out + ".csv"
    trace = out + ".trace"
    cmd = [salvora, "recover", "--image", image, "--out", out, "--report", report, "--quiet",
           "--types", types or "all"]
    subprocess.run(["strace", "-f", "-qq", "-e", "trace=write,pwrite64,pwritev", "-o", trace] + cmd,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    written = 0
    for line in open(trace, errors="replace"):
        m = re.search(r"(?:write|pwrite64|pwritev)\((\d+),.*= (\d+)$", line)
        if m and int(m.group(1)) > 2:
            written += int(m.group(2))
    rows = []
    with open(report, newline="") as table:
        lines = list(csv.reader(table))[1:]
    for fields in lines:
        if fields[0].startswith("(unreadable"):
            continue
        name = fields[0]
        rows.append({"name": name, "ext": fields[2], "offset": int(fields[3]), "size": int(fields[4]),
                     "path": os.path.join(out, name), "partial": len(fields) > 8 and fields[8] == "yes"})
    written -= os.path.getsize(report)
    os.remove(trace)
    return rows, max(written, 0)


def holder(truth, offset):
    """The file one of whose runs holds the byte at `offset`, and that byte's
    offset in the file; (None, 0) when none does."""
    for t in truth:
        at = 0
        for start, length in t.runs:
            if start <= offset < start + length:
                return t, at + offset - start
            at += length
    return None, 0


def score(truth, rows):
    """Classifies every output; returns per-kind counts, the exact files and
    the outputs scored (those of stripped samples are left out)."""
    counts = {kind: 0 for kind in SCORES}
    starts = {t.offset: t for t in truth}
    hashes = {t.sha for t in truth}
    exact_files = set()
    scored = []
    for row in rows:
        home, at = holder(truth, row["offset"])
        if home and home.stripped:
            continue
        scored.append(row)
        data = open(row["path"], "rb").read()
        t = starts.get(row["offset"])
        if t is not None:
            if len(data) == t.size and sha256(data) == t.sha:
                counts["exact"] += 1
                exact_files.add(t.offset)
            elif len(data) > t.size and sha256(data[:t.size]) == t.sha:
                counts["overlong"] += 1
            elif len(data) < t.size and data == t.data[: len(data)]:
                counts["truncated"] += 1
            else:
                counts["split"] += 1
            continue
        if home:
            embedded = sha256(data) not in hashes and home.data[at: at + len(data)] == data
            counts["embedded" if embedded else "split"] += 1
        else:
            counts["false+"] += 1
    return counts, exact_files, scored


def shas_in(folder):
    """The SHA-256 of every file under `folder`."""
    found = set()
    for top, _, names in os.walk(folder):
        for name in names:
            found.add(sha256(open(os.path.join(top, name), "rb").read()))
    return found


def peers(image, work, truth, salvora_shas):
    """foremost and scalpel recover the image; every carver's outputs are
    searched for the files byte-exact (same SHA-256), fragmented and
    contiguous counted apart. Returns salvora's fragmented recall."""
    foremost = os.path.join(work, "foremost")
    scalpel = os.path.join(work, "scalpel")
    conf = os.path.join(work, "scalpel.conf")
    with open(conf, "w") as out:
        out.write("jpg y 20000000 \\xff\\xd8\\xff \\xff\\xd9\n"
                  "png y 20000000 \\x89PNG\\x0d\\x0a\\x1a\\x0a IEND\\xaeB`\\x82\n"
                  "gif y 20000000 GIF89a \\x00\\x3b\n"
                  "wav y 20000000 RIFF????WAVE\n"
                  "mp3 y 20000000 ID3\n"
                  "flac y 20000000 fLaC\n"
                  "mkv y 20000000 \\x1a\\x45\\xdf\\xa3\n")
    for cmd in (["foremost", "-Q", "-t", "jpg,gif,png,wav,mov", "-i", image, "-o", foremost],
                ["scalpel", "-c", conf, "-o", scalpel, image]):
        shutil.rmtree(cmd[-1] if cmd[0] == "foremost" else scalpel, ignore_errors=True)
        try:
            subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except FileNotFoundError:
            pass
    fragmented = [t for t in truth if t.fragmented and not t.stripped]
    contiguous = [t for t in truth if not t.fragmented and not t.stripped]
    print(f"  fragmented files: {len(fragmented)} ({sum(t.deleted for t in fragmented)} deleted); "
          "byte-exact anywhere among each carver's outputs (same SHA-256):")
    print(f"  {'carver':<10}{'fragmented':>18}{'contiguous':>18}")
    recall = 0.0
    for carver, shas in [("salvora", salvora_shas), ("foremost", None), ("scalpel", None)]:
        folder = os.path.join(work, carver)
        if shas is None:
            if not os.path.isdir(folder):
                print(f"  {carver:<10}{'not run':>18}")
                continue
            shas = shas_in(folder)
        f = sum(t.sha in shas for t in fragmented)
        c = sum(t.sha in shas for t in contiguous)
        share = f / len(fragmented) if fragmented else 1.0
        recall = share if carver == "salvora" else recall
        print(f"  {carver:<10}{f'{f}/{len(fragmented)} ({100 * share:.0f}%)':>18}{f'{c}/{len(contiguous)}':>18}")
        if carver != "salvora":
            shutil.rmtree(folder, ignore_errors=True)
    return recall


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build/release"))
    parser.add_argument("--work")
    parser.add_argument("--kind", default="")
    args = parser.parse_args()
    salvora = os.path.join(args.build, "recovery_app/salvora")
    work = args.work or os.path.join(args.build, "bench-quality")
    files = os.path.join(args.build, "bench-quality-files")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    paths = make_files(files)
    failures = []
    for number, (title, build_image) in enumerate(IMAGE_KINDS):
        if args.kind not in title:
            continue
        rng = random.Random(1000 + number)
        image = os.path.join(work, f"image{number}.img")
        truth = build_image(paths, image, rng)
        families = sorted({t.family for t in truth if not t.stripped})
        stripped = [t.name for t in truth if t.stripped]
        fragmented = [t for t in truth if t.fragmented and not t.stripped]
        print(f"\n{title}: {len(truth) - len(stripped)} files ({sum(t.deleted for t in truth)} deleted"
              f"{f', {len(fragmented)} fragmented' if fragmented else ''}), "
              f"{os.path.getsize(image) >> 20} MiB; not scored: the stripped camera samples {', '.join(stripped)}")
        header = f"{'types':<8}{'files':>6}{'outputs':>8}" + "".join(f"{k:>10}" for k in SCORES) + \
            f"{'recall':>8}{'precision':>10}{'written/kept':>14}" + (f"{'frag':>8}" if fragmented else "")
        print(header)
        for types in [""] + families:
            out = os.path.join(work, f"out{number}_{types or 'all'}")
            rows, written = recover(salvora, image, out, types)
            # Recall counts the contiguous files; the fragmented ones are counted apart.
            mine = [t for t in truth if (not types or t.family == types) and not t.stripped and not t.fragmented]
            pieces = [t for t in fragmented if not types or t.family == types]
            kept = sum(r["size"] for r in rows)  # of every output, scored or not
            counts, exact, rows = score(truth, rows)
            if not types:
                exact_all = exact
                partial_at = {r["offset"]: r["partial"] for r in rows}
            exact_mine = [t for t in mine if t.offset in exact]
            recall = len(exact_mine) / len(mine) if mine else 1.0
            precision = counts["exact"] / len(rows) if rows else 1.0
            ratio = written / kept if kept else 1.0
            print(f"{types or 'all':<8}{len(mine):>6}{len(rows):>8}" +
                  "".join(f"{counts[k]:>10}" for k in SCORES) +
                  f"{recall:>8.2f}{precision:>10.2f}{ratio:>14.3f}" +
                  (f"{sum(t.offset in exact for t in pieces):>5}/{len(pieces):<2}" if fragmented else ""))
            if not types:
                if fragmented:
                    salvora_shas = shas_in(out)
                missed = [t for t in mine if t.offset not in exact and t.family in END_DEFINED]
                for t in missed:
                    print(f"    not exact: {t.name} at {t.offset} ({t.size} bytes)")
                if missed:
                    failures.append(f"{title}: {len(missed)} files of end-defined types not exact")
                if recall < 0.97:
                    failures.append(f"{title}: recall {recall:.2f} < 0.97")
                if precision < 0.95:
                    failures.append(f"{title}: precision {precision:.2f} < 0.95")
            elif types in END_DEFINED and counts["overlong"]:
                failures.append(f"{title}: --types {types}: {counts['overlong']} overlong")
            if ratio > 1.05:
                failures.append(f"{title}: --types {types or 'all'}: written/kept {ratio:.3f} > 1.05")
            shutil.rmtree(out, ignore_errors=True)
        if fragmented:
            for t in fragmented:
                if t.offset not in exact_all:
                    kept = {None: "nothing kept there", True: "kept as partial", False: "presented as whole"}
                    print(f"    fragmented, not exact: {t.name}{' (deleted)' if t.deleted else ''} in "
                          f"{len(t.runs)} pieces at {t.offset} ({t.size} bytes): "
                          f"{kept[partial_at.get(t.offset)]}")
            if peers(image, work, truth, salvora_shas) < 0.6:
                failures.append(f"{title}: fewer than 60% of the fragmented files byte-exact")
        os.remove(image)
    print()
    for failure in failures:
        print("MISSED TARGET: " + failure)
    print("quality targets: " + ("all met" if not failures else f"{len(failures)} missed"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
