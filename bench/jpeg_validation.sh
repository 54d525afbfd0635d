#!/usr/bin/env bash
# JPEG entropy-coded data validator: how fast it validates 5 MB photos
# (baseline, progressive and with restart markers: one picture made by ffmpeg,
# rewritten losslessly by jpegtran), beside djpeg decoding the same files; and
# how soon after the damage it flags copies of the test JPEGs whose scan data
# was partly overwritten, with djpeg's verdicts on the same copies.
#
# Usage: bench/jpeg_validation.sh [BUILD_DIR] [COPIES]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
copies="${2:-40}"
work="$build/bench-jpeg"
rm -rf "$work"
mkdir -p "$work"

ffmpeg -v error -y -f lavfi -i "mandelbrot=s=4000x3000:maxiter=200,noise=alls=16:allf=t" -frames:v 1 -q:v 3 \
  "$work/photo_baseline.jpg"
jpegtran -progressive -outfile "$work/photo_progressive.jpg" "$work/photo_baseline.jpg"
jpegtran -restart 1 -outfile "$work/photo_restart.jpg" "$work/photo_baseline.jpg"

echo "Validating 4000x3000 photos (best of five runs; CPU time of the validating thread):"
"$build/bench/bench_jpeg_validate" speed "$work"/photo_*.jpg
echo "djpeg decoding the same files to pixels (user CPU time):"
for photo in "$work"/photo_*.jpg; do
  /usr/bin/time -f "$(basename "$photo") %U s" djpeg -outfile /dev/null "$photo" 2>&1
done

samples=("$root"/tests/data/jpeg/*.jpg "$root"/tests/data/jpeg/scans/*.jpg)
for block in 512 4096; do
  echo "Damage: $block bytes of the scan data overwritten, $copies copies per file and kind (${#samples[@]} files):"
  "$build/bench/bench_jpeg_validate" damage "$copies" "$block" "${samples[@]}"
done
rm -rf "$work"
