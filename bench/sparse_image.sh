#!/usr/bin/env bash
# Memory stays flat on a large medium: a 16 GiB sparse image, all zero but for
# a few real photos in its last mebibytes, is scanned; prints the time, peak
# memory and whether every photo came back byte-identical.
#
# Usage: bench/sparse_image.sh [BUILD_DIR] [SIZE_GIB]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
size_gib="${2:-16}"
work="$build/bench-sparse"
rm -rf "$work"
mkdir -p "$work"
image="$work/sparse.img"
truncate -s "${size_gib}G" "$image"
offset=$(( size_gib * 1024 * 1024 * 1024 - 4 * 1024 * 1024 ))
photos=("$root"/tests/data/jpeg/*.jpg)
for photo in "${photos[@]}"; do
  dd if="$photo" of="$image" bs=512 seek=$((offset / 512)) conv=notrunc status=none
  offset=$(( offset + ($(stat -c %s "$photo") + 65535) / 65536 * 65536 ))
done
/usr/bin/time -v -o "$work/time.txt" "$build/recovery_app/salvora" recover --image "$image" --out "$work/out" --types jpg --quiet >/dev/null
ok=0
for i in "${!photos[@]}"; do
  cmp -s "${photos[$i]}" "$work/out/$(printf 'KV%05d.jpg' "$i")" && ok=$((ok + 1))
done
echo "Sparse image: ${size_gib} GiB, ${#photos[@]} photos in its last 4 MiB"
echo "salvora time: $(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")"
echo "salvora peak RSS: $(( $(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt") / 1024 )) MiB"
echo "photos back byte-identical: $ok of ${#photos[@]}"
rm -rf "$work"
[[ $ok -eq ${#photos[@]} ]]
