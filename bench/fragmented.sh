#!/usr/bin/env bash
# Recall on fragmented files: a FAT32 card made by mkfs.vfat and filled by
# mtools the way a card looks after a while of writing and deleting, with
# photos (ImageMagick), songs (sox + lame) and recordings (sox) split into
# two or three pieces around other files; some of them deleted afterwards,
# some deleted photos split around another deleted file. salvora, foremost
# and scalpel each recover the card; a fragmented file counts when one of
# the recovered files is byte-exact (same SHA-256). Contiguous files are
# counted apart.
#
# Target: at least 60% of the fragmented files byte-exact for salvora.
#
# Usage: bench/fragmented.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
salvora="$build/recovery_app/salvora"
work="$build/bench-fragmented"
rm -rf "$work"
mkdir -p "$work/files"
files="$work/files"
image="$work/card.img"
export MTOOLS_SKIP_CHECK=1

# --- Real files -------------------------------------------------------------
for n in 1 2 3 4 5 6 7 8 9 10 11 12; do
  convert -size $((320 + n * 40))x$((240 + n * 30)) "plasma:rgb($((n * 20)),80,90)-rgb(200,$((n * 15)),140)" \
    -seed "$n" -quality $((70 + n)) "$files/photo$n.jpg"
done
for n in 1 2 3; do
  sox -n -r 44100 -c 2 "$files/tone$n.wav" synth $((2 + n)) sine $((300 + n * 110)) vol 0.4
  lame --quiet -b 128 "$files/tone$n.wav" "$files/song$n.mp3"
  sox -n -r 22050 -c 1 -b 16 "$files/rec$n.wav" synth $((1 + n)) pinknoise vol 0.3
done
head -c 300000 /dev/urandom | base64 > "$files/notes.txt"

# --- The card ---------------------------------------------------------------
truncate -s 64M "$image"
mkfs.vfat -F 32 -s 1 -n FRAGBENCH "$image" >/dev/null
cluster=512
first_fit() {  # FSInfo: free count unknown, next free cluster 2 (mtools then fills from the start)
  printf '\xff\xff\xff\xff\x02\x00\x00\x00' | dd of="$image" bs=1 seek=$((512 + 488)) conv=notrunc status=none
}
put() { first_fit; mcopy -i "$image" "$1" "::/$2"; }
filler() { head -c $(($1 * cluster - 100)) /dev/urandom | base64 -w 0 | head -c $(($1 * cluster - 100)) > "$work/fill"; }
mmd -i "$image" ::/DCIM ::/MUSIC
serial=0
# around SOURCE NAME HOLE_CLUSTERS FILLER_CLUSTERS [HOLE FILLER]: the file fills the holes, then runs on after the last filler.
around() {
  local source="$1" name="$2" holes=()
  shift 2
  while (($# >= 2)); do
    serial=$((serial + 1))
    filler "$1"; put "$work/fill" "HOLE$serial.TMP"; holes+=("HOLE$serial.TMP")
    filler "$2"; put "$work/fill" "KEEP$serial.DAT"
    shift 2
  done
  for hole in "${holes[@]}"; do mdel -i "$image" "::/$hole"; done
  put "$source" "$name"
}
fragmented=()
deleted=()
for n in 1 2 3 4 5 6; do
  around "$files/photo$n.jpg" "DCIM/IMG_000$n.JPG" $((8 + 4 * n)) $((1 + n % 3)); fragmented+=("photo$n.jpg")
done
for n in 1 2 3; do
  around "$files/song$n.mp3" "MUSIC/SONG$n.MP3" $((3 + n)) 2 $((2 + n)) 1; fragmented+=("song$n.mp3")
  around "$files/rec$n.wav" "MUSIC/REC$n.WAV" $((4 + n)) 3; fragmented+=("rec$n.wav")
done
# Deleted photos: around a live file, and split around another file that is deleted too.
for n in 7 8; do
  around "$files/photo$n.jpg" "DCIM/IMG_000$n.JPG" $((3 + n)) 2; fragmented+=("photo$n.jpg"); deleted+=("DCIM/IMG_000$n.JPG")
done
for n in 9 10; do
  serial=$((serial + 1))
  filler $((2 + n)); put "$work/fill" "HOLE$serial.TMP"
  put "$files/photo$((n + 2)).jpg" "DCIM/GAP$n.JPG"; deleted+=("DCIM/GAP$n.JPG")
  mdel -i "$image" "::/HOLE$serial.TMP"
  put "$files/photo$n.jpg" "DCIM/IMG_00$n.JPG"; fragmented+=("photo$n.jpg"); deleted+=("DCIM/IMG_00$n.JPG")
done
put "$files/notes.txt" "NOTES.TXT"
for path in "${deleted[@]}"; do mdel -i "$image" "::/$path"; done
contiguous=(photo11.jpg photo12.jpg)

# --- Recoveries -------------------------------------------------------------
"$salvora" recover --image "$image" --out "$work/salvora" --quiet >/dev/null
foremost -Q -t jpg,wav -i "$image" -o "$work/foremost" >/dev/null 2>&1 || true
cat > "$work/scalpel.conf" <<'CONF'
jpg y 20000000 \xff\xd8\xff \xff\xd9
wav y 20000000 RIFF????WAVE
mp3 y 20000000 ID3
CONF
scalpel -c "$work/scalpel.conf" -o "$work/scalpel" "$image" >/dev/null 2>&1 || true

# --- Scores -----------------------------------------------------------------
recall() {  # recall OUTPUT_DIR FILE...: how many of the files are in the output byte-exact
  local dir="$1" found=0 file
  shift
  local sums
  sums="$(find "$dir" -type f -exec sha256sum {} + 2>/dev/null | cut -d' ' -f1 | sort -u)"
  for file in "$@"; do
    grep -qx "$(sha256sum "$files/$file" | cut -d' ' -f1)" <<<"$sums" && found=$((found + 1))
  done
  echo "$found"
}
printf '%-10s %22s %22s\n' carver "fragmented byte-exact" "contiguous byte-exact"
for carver in salvora foremost scalpel; do
  if [[ ! -d "$work/$carver" ]]; then
    printf '%-10s %22s %22s\n' "$carver" "not run" "-"
    continue
  fi
  f=$(recall "$work/$carver" "${fragmented[@]}")
  c=$(recall "$work/$carver" "${contiguous[@]}")
  printf '%-10s %15s (%3d%%) %15s\n' "$carver" "$f/${#fragmented[@]}" $((100 * f / ${#fragmented[@]})) \
    "$c/${#contiguous[@]}"
done
