#!/usr/bin/env bash
# Recovery quality on the newer formats: makes files with the programs that
# write them (ImageMagick, cwebp, ffmpeg, sqlite3, 7z), lays them on a raw
# image with random data between them (a ground truth of offset, size and
# SHA-256 per file), recovers the image with salvora's default types and, as
# peers, with foremost and scalpel when they are installed, and prints per
# type how many files came back byte for byte (recall) and how many of the
# outputs were exact files (precision).
#
# Usage: bench/newer_formats.sh [BUILD_DIR] [COPIES]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/release}" && pwd)"
copies="${2:-3}"
work="$build/bench-newer"
rm -rf "$work"
mkdir -p "$work/files"
cd "$work/files"

make_set() {  # make_set N: one file of each kind, varied by N
  local n=$1 size=$((160 + 80 * n))x$((120 + 60 * n))
  convert -size "$size" plasma:fractal -seed "$n" "p$n.png"
  convert -delay 10 -size 96x72 plasma: plasma: plasma: -loop 0 "a$n.gif"
  cwebp -quiet -q 75 "p$n.png" -o "w$n.webp"
  convert "p$n.png" -quality 70 "h$n.heic"
  convert "p$n.png" -quality 70 "v$n.avif"
  ffmpeg -v error -f lavfi -i "testsrc=size=160x120:rate=15" -f lavfi -i "sine=frequency=$((300 + n))" -t 2 \
    -c:v libx264 -pix_fmt yuv420p -c:a aac "m$n.mkv"
  ffmpeg -v error -f lavfi -i "testsrc=size=160x120:rate=15" -t 2 -c:v libvpx -b:v 200k "e$n.webm"
  ffmpeg -v error -f lavfi -i "sine=frequency=$((400 + n)):sample_rate=48000" -t 4 -c:a flac "f$n.flac"
  ffmpeg -v error -f lavfi -i "sine=frequency=$((500 + n))" -t 4 -c:a libvorbis "o$n.ogg"
  ffmpeg -v error -f lavfi -i "anoisesrc=amplitude=0.2:seed=$n" -t 3 -c:a libopus "s$n.opus"
  ffmpeg -v error -f lavfi -i "sine=frequency=$((600 + n))" -t 4 -c:a aac "t$n.m4a"
  sqlite3 "d$n.sqlite" "create table t(a, b); with recursive k(i) as (select 1 union all select i + 1 from k
    where i < $((300 * n + 200))) insert into t select i, hex(randomblob(20)) from k;"
  7z a -bd -bso0 "z$n.7z" "p$n.png" "a$n.gif"
}
for ((n = 1; n <= copies; n++)); do make_set "$n"; done

# The image: each file on a 32 KiB cluster, one to three clusters of noise after it.
image="$work/card.img"
truth="$work/truth.txt"
: >"$truth"
offset=65536
: >"$image"
for file in $(ls | sort -t. -k2,2 -k1,1); do
  size=$(stat -c %s "$file")
  dd if="$file" of="$image" bs=1 seek="$offset" conv=notrunc status=none
  echo "${file##*.} $offset $size $(sha256sum <"$file" | cut -c1-64)" >>"$truth"
  offset=$(((offset + size + 32767) / 32768 * 32768))
  gap=$((32768 * (1 + RANDOM % 3)))
  head -c "$gap" /dev/urandom | dd of="$image" bs=1 seek="$offset" conv=notrunc status=none
  offset=$((offset + gap))
done
truncate -s $((offset + 1048576)) "$image"
echo "Image: $((offset / 1048576)) MiB, $(wc -l <"$truth") files of the newer formats with random data between them"

# score NAME DIR: one row per type: files, exact, outputs of the tool for the type.
score() {
  local name=$1 dir=$2
  find "$dir" -type f -exec sha256sum {} + 2>/dev/null | cut -c1-64 | sort >"$work/$name.sums"
  local outputs total=0 exact=0
  outputs=$(find "$dir" -type f ! -name '*.txt' ! -name '*.csv' | wc -l)
  printf '%-9s' "$name"
  for type in png gif webp heic avif mkv webm flac ogg opus m4a sqlite 7z; do
    local n e
    n=$(awk -v t="$type" '$1 == t' "$truth" | wc -l)
    e=$(awk -v t="$type" '$1 == t { print $4 }' "$truth" | sort | join - "$work/$name.sums" | wc -l)
    total=$((total + n))
    exact=$((exact + e))
    printf ' %s %d/%d' "$type" "$e" "$n"
  done
  printf '\n%-9s recall %.2f (%d of %d files exact), precision %.2f (%d outputs)\n' "" \
    "$(echo "$exact / $total" | bc -l)" "$exact" "$total" \
    "$(echo "if ($outputs > 0) $exact / $outputs else 0" | bc -l)" "$outputs"
}

start=$(date +%s.%N)
"$build/recovery_app/salvora" recover --image "$image" --out "$work/salvora" --quiet >/dev/null
echo "salvora: $(echo "$(date +%s.%N) - $start" | bc -l | xargs printf %.2f) s"
score salvora "$work/salvora"
if command -v foremost >/dev/null; then
  start=$(date +%s.%N)
  foremost -Q -i "$image" -o "$work/foremost" >/dev/null 2>&1 || true
  echo "foremost: $(echo "$(date +%s.%N) - $start" | bc -l | xargs printf %.2f) s (its types: all)"
  score foremost "$work/foremost"
fi
if command -v scalpel >/dev/null; then
  # scalpel's own configuration, with every type it ships turned on.
  sed 's/^#\([[:space:]]*[a-z0-9]\+[[:space:]]\+[yn][[:space:]]\)/\1/' /etc/scalpel/scalpel.conf >"$work/scalpel.conf"
  start=$(date +%s.%N)
  scalpel -q 32768 -c "$work/scalpel.conf" -o "$work/scalpel" "$image" >/dev/null 2>&1 || true
  echo "scalpel: $(echo "$(date +%s.%N) - $start" | bc -l | xargs printf %.2f) s (its types: every one in its configuration)"
  score scalpel "$work/scalpel"
fi
rm -rf "$work"
