#!/usr/bin/env bash
# Carving throughput, side by side in one run on the same page-cached image:
# the time to copy the image (cat img > file; cp may clone blocks without
# copying), salvora with its default types, and foremost when it is
# installed; salvora's peak memory (/usr/bin/time -v), its write() calls
# (strace -c -f), and the bytes it wrote against the bytes it kept.
#
# The image is built at bench time from real files made by real tools
# (ImageMagick photos and a PDF, an ffmpeg motion-JPEG AVI, sox WAV, lame MP3)
# laid out like a used card: one file after another on 4 KiB clusters, old
# data between them.
#
# Targets: salvora within 2x the copy time, at least 10x faster than
# foremost, peak RSS <= 64 MiB, at most one write() per 256 KiB written.
#
# Usage: bench/carve_throughput.sh [BUILD_DIR] [SIZE_MIB]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
size_mib="${2:-384}"
salvora="$build/recovery_app/salvora"
work="$build/bench-throughput"
files="$build/bench-files"  # the made files, kept between runs
rm -rf "$work"
mkdir -p "$work" "$files"
image="$work/card.img"

# --- Real files -------------------------------------------------------------
make_files() {
  local n
  for n in 1 2 3 4 5 6 7 8; do
    [[ -s "$files/photo$n.jpg" ]] || convert -size 3000x2000 \
      "gradient:rgb($((n * 30)),60,90)-rgb(220,$((n * 25)),160)" -seed "$n" -attenuate 0.4 +noise Gaussian \
      -quality 90 "$files/photo$n.jpg"
  done
  [[ -s "$files/document.pdf" ]] || convert "$files/photo1.jpg" -resize 50% "$files/document.pdf"
  [[ -s "$files/clip.avi" ]] || ffmpeg -loglevel error -f lavfi -i testsrc2=size=1280x720:rate=25 -t 8 \
    -c:v mjpeg -q:v 4 "$files/clip.avi"
  [[ -s "$files/tone.wav" ]] || sox -n -r 44100 -c 2 -b 16 "$files/tone.wav" synth 20 sine 440 sine 660
  [[ -s "$files/tone.mp3" ]] || lame --quiet -b 192 "$files/tone.wav" "$files/tone.mp3"
}
make_files
read -r placed kept_in_image < <("$build/bench/bench_make_image" "$image" "$size_mib" "$files"/*)

# --- Measurements -----------------------------------------------------------
seconds() { # command...: wall-clock seconds of the command
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
copy() { cat "$image" >"$work/copy.img"; }
recover() { rm -rf "$work/out"; "$salvora" recover --image "$image" --out "$work/out" --quiet; }

cat "$image" >/dev/null  # into the page cache
copy && rm -f "$work/copy.img"
copy_s=$(seconds copy)
rm -f "$work/copy.img"
recover >/dev/null  # the same for what salvora reads first
/usr/bin/time -v -o "$work/time.txt" "$salvora" recover --image "$image" --out "$work/out-timed" --quiet \
  >"$work/salvora.txt" 2>&1
salvora_s=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt" |
  awk -F: '{ if (NF == 3) print $1*3600 + $2*60 + $3; else print $1*60 + $2 }')
rss_kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
rm -rf "$work/out-timed"

strace -f -c -e trace=write,pwrite64,writev,pwritev -o "$work/calls.txt" "$salvora" recover --image "$image" \
  --out "$work/out-counted" --quiet >/dev/null 2>&1
# Columns: % time, seconds, usecs/call, calls, [errors,] syscall.
write_calls=$(awk '$NF ~ /^(write|pwrite64|writev|pwritev)$/ { calls += $4 } END { print calls + 0 }' \
  "$work/calls.txt")
rm -rf "$work/out-counted"
strace -f -qq -e trace=write,pwrite64,writev,pwritev -o "$work/trace.txt" "$salvora" recover --image "$image" \
  --out "$work/out" --quiet >/dev/null 2>&1
written=$(awk '/= [0-9]+$/ { total += $NF } END { printf "%d", total + 0 }' "$work/trace.txt")
kept=$(find "$work/out" -type f -printf '%s\n' | awk '{ total += $1 } END { printf "%d", total + 0 }')
recovered=$(find "$work/out" -type f | wc -l)

foremost_s=""
if command -v foremost >/dev/null; then
  foremost_s=$(seconds foremost -Q -i "$image" -o "$work/foremost")
fi

# --- Figures ----------------------------------------------------------------
rate() { echo "scale=0; $size_mib / $1" | bc -l; }
mib() { echo "scale=1; $1 / 1048576" | bc -l; }
verdict() { if [[ $(echo "$1" | bc -l) -eq 1 ]]; then echo met; else echo MISSED; fi; }

echo "Image: $size_mib MiB, $placed files ($(mib "$kept_in_image") MiB of them), page-cached"
printf '%-22s %8s s %8s MiB/s\n' "copy (cat img > file)" "$(printf %.2f "$copy_s")" "$(rate "$copy_s")"
printf '%-22s %8s s %8s MiB/s\n' "salvora (default types)" "$(printf %.2f "$salvora_s")" "$(rate "$salvora_s")"
if [[ -n "$foremost_s" ]]; then
  printf '%-22s %8s s %8s MiB/s\n' "foremost" "$(printf %.2f "$foremost_s")" "$(rate "$foremost_s")"
else
  echo "foremost: not installed"
fi
echo "salvora: $(head -1 "$work/salvora.txt"); $recovered files"
ratio=$(echo "scale=2; $salvora_s / $copy_s" | bc -l)
echo "salvora / copy time: $ratio (target <= 2: $(verdict "$ratio <= 2"))"
if [[ -n "$foremost_s" ]]; then
  speedup=$(echo "scale=1; $foremost_s / $salvora_s" | bc -l)
  echo "foremost / salvora time: $speedup (target >= 10: $(verdict "$speedup >= 10"))"
fi
rss_mib=$((rss_kb / 1024))
echo "salvora peak RSS: $rss_mib MiB (target <= 64: $(verdict "$rss_mib <= 64"))"
per_call=$(echo "scale=0; $written / 1024 / ($write_calls + (${write_calls} == 0))" | bc -l)
echo "salvora write() calls: $write_calls for $(mib "$written") MiB written, $per_call KiB per call" \
  "(target >= 256: $(verdict "$per_call >= 256"))"
echo "salvora bytes written / bytes kept: $(echo "scale=3; $written / ($kept + ($kept == 0))" | bc -l)" \
  "($(mib "$written") MiB / $(mib "$kept") MiB)"
rm -rf "$work"
