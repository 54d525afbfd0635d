#!/usr/bin/env bash
# Carving throughput: builds a 1 GiB image (half random data, half real JPEGs
# at varied offsets) and prints, for the same image in one run, how long cat,
# cp and salvora take, their MB/s, and salvora's peak memory. The page cache is
# left as it is: cat runs first and warms it for the others.
#
# Usage: bench/carve_throughput.sh [BUILD_DIR] [SIZE_MIB]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
size_mib="${2:-1024}"
work="$build/bench-work"
rm -rf "$work"
mkdir -p "$work"
image="$work/bench.img"

placed=$("$build/bench/bench_make_image" "$image" "$size_mib" "$root"/tests/data/jpeg/*.jpg)
echo "Image: $size_mib MiB, $placed JPEG files in its second half"

seconds() { local start end; start=$(date +%s.%N); "$@" >/dev/null 2>&1; end=$(date +%s.%N); echo "$end - $start" | bc -l; }
rate() { echo "scale=1; $size_mib / $1" | bc -l; }

cat_s=$(seconds cat "$image")
cp_s=$(seconds cp "$image" "$work/copy.img")
rm -f "$work/copy.img"
/usr/bin/time -v -o "$work/time.txt" "$build/recovery_app/salvora" recover --image "$image" --out "$work/out" --quiet >"$work/salvora.txt" 2>&1
salvora_s=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt" | awk -F: '{ if (NF == 3) print $1*3600 + $2*60 + $3; else print $1*60 + $2 }')
rss_kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
recovered=$(ls "$work/out" | wc -l)

printf '%-10s %8s s %8s MB/s\n' cat "$(printf %.2f "$cat_s")" "$(rate "$cat_s")"
printf '%-10s %8s s %8s MB/s\n' cp "$(printf %.2f "$cp_s")" "$(rate "$cp_s")"
printf '%-10s %8s s %8s MB/s\n' salvora "$(printf %.2f "$salvora_s")" "$(rate "$salvora_s")"
echo "salvora: $(cat "$work/salvora.txt" | head -1); $recovered files in the folder"
echo "salvora peak RSS: $((rss_kb / 1024)) MiB"
echo "salvora / cp time: $(echo "scale=2; $salvora_s / $cp_s" | bc -l)"
rm -rf "$work"
