#!/usr/bin/env bash
# Makes the test files of the newer formats with the tools that write them:
# ImageMagick (PNG, GIF, WebP animation, HEIC, AVIF), cwebp, ffmpeg (Matroska,
# WebM, FLAC, Ogg Vorbis, Opus, M4A), sqlite3 and 7z. RAR archives and the CR3
# raw image are crafted by the scripts beside them. Run from tests/data.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Pictures
convert -size 96x64 plasma:fractal -seed 7 picture/photo.png
convert -delay 20 -size 48x32 xc:red xc:green gradient:blue-yellow -loop 0 picture/animated.gif
convert -size 64x40 gradient:white-navy gif87:picture/still87a.gif
cwebp -quiet -q 60 picture/photo.png -o picture/lossy.webp
cwebp -quiet -lossless picture/photo.png -o picture/lossless.webp
gif2webp -quiet picture/animated.gif -o picture/animated.webp
convert picture/photo.png -quality 60 picture/photo.heic
convert picture/photo.png -quality 60 picture/photo.avif
python3 picture/craft_cr3.py picture/crafted.cr3

# Audio
ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=2 -c:a flac audio/tone.flac
ffmpeg -v error -y -f lavfi -i sine=frequency=660:duration=2 -c:a libvorbis audio/tone.ogg
ffmpeg -v error -y -f lavfi -i sine=frequency=550:duration=2 -c:a libopus audio/tone.opus
ffmpeg -v error -y -f lavfi -i sine=frequency=330:duration=2 -c:a aac audio/tone.m4a

# Video: a file written to a pipe has a Segment of unknown size (a live recording).
ffmpeg -v error -y -f lavfi -i testsrc=size=96x64:rate=10 -t 1 -c:v libx264 -pix_fmt yuv420p video/clip.mkv
ffmpeg -v error -y -f lavfi -i testsrc=size=96x64:rate=10 -t 1 -c:v libvpx -b:v 80k video/clip.webm
ffmpeg -v error -f lavfi -i testsrc=size=96x64:rate=10 -t 1 -c:v libx264 -pix_fmt yuv420p -f matroska - \
  >video/live.mkv

# Databases and archives
rm -f archive/notes.sqlite archive/notes.7z
sqlite3 archive/notes.sqlite "create table notes(id integer primary key, text);
  insert into notes(text) values ('cards'), ('charger');
  insert into notes(text) select text || ' again' from notes;
  create table blobs(data); insert into blobs values (randomblob(3000));"
7z a -bd -bso0 archive/notes.7z picture/still87a.gif archive/craft_rar.py
python3 archive/craft_rar.py archive
