#!/usr/bin/env bash
# Carving throughput, side by side in one run on the same page-cached image:
# the time to copy the image (cat img > file; cp may clone blocks without
# copying), salvora with its default types, and foremost when it is
# installed (the copy and salvora each the best of five runs, foremost one
# run, in wall-clock and CPU time: on a virtual machine the first write to
# memory the host has taken back costs many times a write to memory in use,
# so the same run of the same program varies several-fold with what the
# machine did before it); salvora's peak memory (/usr/bin/time), its write() calls
# (strace -c -f), and the bytes it wrote against the bytes it kept.
#
# The image is built at bench time from real files made by real tools
# (ImageMagick photos, an ffmpeg motion-JPEG AVI, sox WAV, lame MP3, and the
# LibreOffice documents of the test data) laid out like a used card: one file
# after another on 4 KiB clusters, old data between them.
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
  # Documents made by LibreOffice, from the test data.
  cp "$root/tests/data/pdf/libreoffice_note.pdf" "$root/tests/data/office/letter.doc" \
    "$root/tests/data/office/sheet.xlsx" "$root/tests/data/office/letter.odt" "$files/"
  [[ -s "$files/clip.avi" ]] || ffmpeg -loglevel error -f lavfi -i testsrc2=size=1280x720:rate=25 -t 8 \
    -c:v mjpeg -q:v 4 "$files/clip.avi"
  [[ -s "$files/tone.wav" ]] || sox -n -r 44100 -c 2 -b 16 "$files/tone.wav" synth 20 sine 440 sine 660
  [[ -s "$files/tone.mp3" ]] || lame --quiet -b 192 "$files/tone.wav" "$files/tone.mp3"
}
make_files
read -r placed kept_in_image < <("$build/bench/bench_make_image" "$image" "$size_mib" "$files"/*)

# --- Measurements -----------------------------------------------------------
# measure NAME RUNS COMMAND...: the best of RUNS runs (the machine may be
# shared); sets NAME_wall and NAME_cpu (user + system seconds) and NAME_rss (KiB).
measure() {
  local name=$1 runs=$2 best_wall="" best_cpu="" best_rss=0 wall user sys rss i
  shift 2
  for ((i = 0; i < runs; i++)); do
    rm -rf "$work/out" "$work/copy.img" "$work/foremost"
    # Each run starts with nothing waiting to be written back: the image
    # just made, or an earlier run's output, would otherwise be flushed
    # (and throttle the writer) during whichever run comes next.
    sync
    /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >/dev/null 2>&1 || true
    read -r wall user sys rss <"$work/time.txt"
    if [[ -z "$best_wall" || $(echo "$wall < $best_wall" | bc -l) -eq 1 ]]; then best_wall=$wall; fi
    cpu=$(echo "$user + $sys" | bc -l)
    if [[ -z "$best_cpu" || $(echo "$cpu < $best_cpu" | bc -l) -eq 1 ]]; then best_cpu=$cpu; fi
    ((rss > best_rss)) && best_rss=$rss
  done
  printf -v "${name}_wall" '%s' "$best_wall"
  printf -v "${name}_cpu" '%s' "$best_cpu"
  printf -v "${name}_rss" '%s' "$best_rss"
}

load_before=$(cut -d' ' -f1 /proc/loadavg)
cat "$image" >/dev/null  # into the page cache
measure copy 5 sh -c "cat '$image' > '$work/copy.img'"
measure salvora 5 "$salvora" recover --image "$image" --out "$work/out" --quiet
foremost_wall=""
if command -v foremost >/dev/null; then
  measure foremost 1 foremost -Q -i "$image" -o "$work/foremost"
fi

rm -rf "$work/out"
strace -f -c -e trace=write,pwrite64,writev,pwritev -o "$work/calls.txt" "$salvora" recover --image "$image" \
  --out "$work/out" --quiet >/dev/null 2>&1
# Columns: % time, seconds, usecs/call, calls, [errors,] syscall.
write_calls=$(awk '$NF ~ /^(write|pwrite64|writev|pwritev)$/ { calls += $4 } END { print calls + 0 }' \
  "$work/calls.txt")
rm -rf "$work/out"
strace -f -qq -e trace=write,pwrite64,writev,pwritev -o "$work/trace.txt" "$salvora" recover --image "$image" \
  --out "$work/out" --quiet >"$work/salvora.txt" 2>&1
written=$(awk '/= [0-9]+$/ { total += $NF } END { printf "%d", total + 0 }' "$work/trace.txt")
kept=$(find "$work/out" -type f -printf '%s\n' | awk '{ total += $1 } END { printf "%d", total + 0 }')
recovered=$(find "$work/out" -type f | wc -l)
load_after=$(cut -d' ' -f1 /proc/loadavg)

# --- Figures ----------------------------------------------------------------
rate() { echo "scale=0; $size_mib / $1" | bc -l; }
mib() { echo "scale=1; $1 / 1048576" | bc -l; }
verdict() { if [[ $(echo "$1" | bc -l) -eq 1 ]]; then echo met; else echo MISSED; fi; }
row() { printf '%-24s %8.2f s wall %8s MiB/s   %6.2f s CPU\n' "$1" "$2" "$(rate "$2")" "$3"; }

echo "Image: $size_mib MiB, $placed files ($(mib "$kept_in_image") MiB of them), page-cached;" \
  "load average $load_before before, $load_after after (best of 5 runs)"
row "copy (cat img > file)" "$copy_wall" "$copy_cpu"
row "salvora (default types)" "$salvora_wall" "$salvora_cpu"
if [[ -n "$foremost_wall" ]]; then
  row "foremost" "$foremost_wall" "$foremost_cpu"
else
  echo "foremost: not installed"
fi
echo "salvora: $(head -1 "$work/salvora.txt"); $recovered files"
ratio=$(echo "scale=2; $salvora_wall / $copy_wall" | bc -l)
cpu_ratio=$(echo "scale=2; $salvora_cpu / ($copy_cpu + ($copy_cpu == 0) * 0.01)" | bc -l)
echo "salvora / copy: $ratio wall, $cpu_ratio CPU (target <= 2: $(verdict "$ratio <= 2") wall," \
  "$(verdict "$cpu_ratio <= 2") CPU)"
if [[ -n "$foremost_wall" ]]; then
  speedup=$(echo "scale=1; $foremost_wall / $salvora_wall" | bc -l)
  cpu_speedup=$(echo "scale=1; $foremost_cpu / ($salvora_cpu + ($salvora_cpu == 0) * 0.01)" | bc -l)
  echo "foremost / salvora: $speedup wall, $cpu_speedup CPU (target >= 10: $(verdict "$speedup >= 10") wall," \
    "$(verdict "$cpu_speedup >= 10") CPU)"
fi
rss_mib=$((salvora_rss / 1024))
echo "salvora peak RSS: $rss_mib MiB (target <= 64: $(verdict "$rss_mib <= 64"))"
per_call=$(echo "scale=0; $written / 1024 / ($write_calls + (${write_calls} == 0))" | bc -l)
echo "salvora write() calls: $write_calls for $(mib "$written") MiB written, $per_call KiB per call" \
  "(target >= 256: $(verdict "$per_call >= 256"))"
echo "salvora bytes written / bytes kept: $(echo "scale=3; $written / ($kept + ($kept == 0))" | bc -l)" \
  "($(mib "$written") MiB / $(mib "$kept") MiB)"
rm -rf "$work"
