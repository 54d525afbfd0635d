#!/usr/bin/env bash
# Reading evidence and split images against the raw image they hold: builds
# an image (half random data, half real JPEGs), acquires it with ewfacquire
# uncompressed (one segment, and 64 MiB segments) and compressed, cuts it
# with split, and prints for each how long reading the whole medium takes
# (reads of 512 KiB, as the scan does; the page cache warmed first), the
# ratio to the raw image (target for uncompressed E01: at most 1.5), and
# the time of a whole salvora recovery from the raw image and from the E01.
#
# Usage: bench/image_formats.sh [BUILD_DIR] [SIZE_MIB]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
size_mib="${2:-512}"
work="$build/bench-images"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
image="$work/card.img"
"$build/bench/bench_make_image" "$image" "$size_mib" "$root"/tests/data/jpeg/*.jpg >/dev/null
ewfacquire -u -q -c none -t "$work/plain" "$image" >/dev/null
ewfacquire -u -q -c none -S 67108864 -t "$work/segments" "$image" >/dev/null
ewfacquire -u -q -c deflate:fast -t "$work/packed" "$image" >/dev/null
( cd "$work" && split -b 64M -d -a 3 --numeric-suffixes=1 card.img parts. )
echo "Image: $size_mib MiB; E01 uncompressed $(du -m "$work/plain.E01" | cut -f1) MiB," \
  "compressed $(du -m "$work/packed.E01" | cut -f1) MiB"

read_time() {  # prints the best of three readings, in seconds
  local best="" t
  cat "$@" >/dev/null 2>&1 || true
  for _ in 1 2 3; do
    t=$("$build/bench/bench_read_image" "$1" | awk '{ print $3 }')
    if [[ -z "$best" ]] || (( $(echo "$t < $best" | bc -l) )); then best=$t; fi
  done
  echo "$best"
}

raw_s=$(read_time "$image")
printf '%-28s %8s s %8s MB/s %6s\n' "read, raw image" "$raw_s" "$(echo "scale=1; $size_mib / $raw_s" | bc -l)" "1.00"
for name in "E01 uncompressed:plain.E01" "E01 in 64 MiB segments:segments.E01" \
            "E01 compressed (deflate):packed.E01" "split raw, 64 MiB parts:parts.001"; do
  label=${name%%:*}
  first="$work/${name#*:}"
  files=("$first")
  if [[ "$first" == *.E01 ]]; then files=("${first%.E01}".E*); fi
  if [[ "$first" == *.001 ]]; then files=("${first%.001}".*); fi
  s=$(read_time "${files[@]}")
  printf '%-28s %8s s %8s MB/s %6s\n' "read, $label" "$s" "$(echo "scale=1; $size_mib / $s" | bc -l)" \
    "$(echo "scale=2; $s / $raw_s" | bc -l)"
  if [[ "$label" == "E01 uncompressed" ]]; then e01_s=$s; fi
done
echo "uncompressed E01 / raw: $(echo "scale=2; $e01_s / $raw_s" | bc -l) (target <= 1.5)"

recover_time() {
  local start end
  cat "$1" >/dev/null
  start=$(date +%s.%N)
  "$build/recovery_app/salvora" recover --image "$1" --out "$work/out-$2" --quiet >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
r_raw=$(recover_time "$image" raw)
r_e01=$(recover_time "$work/plain.E01" e01)
printf 'salvora recover, raw image:  %6.2f s\n' "$r_raw"
printf 'salvora recover, E01:        %6.2f s (%.2f x)\n' "$r_e01" "$(echo "$r_e01 / $r_raw" | bc -l)"
if ! diff -rq "$work/out-raw" "$work/out-e01" >/dev/null; then
  echo "the recoveries from the raw image and from the E01 differ" >&2
  exit 1
fi
echo "both recoveries saved the same $(ls "$work/out-raw" | wc -l) files"
