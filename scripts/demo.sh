# ./run demo: builds the programs, makes a sample memory-card image and recovers it.
#
# The card is a FAT32 image made with mkfs.vfat, holding photographs in
# DCIM/100KORVL the way a camera writes them; then the photographs are deleted
# (as a user who formatted or emptied the card by mistake would), and Salvora
# recovers them from the raw image.
ensure_packages build demo
build_preset release >/dev/null
SALVORA="$ROOT/build/release/recovery_app/salvora"
work="$ROOT/build/demo"
rm -rf "$work"
mkdir -p "$work"
card="$work/card.img"

log "Making a 64 MiB FAT32 memory-card image with photographs, then deleting them"
truncate -s 64M "$card"
mkfs.vfat -F 32 -n KORVELL_CAM "$card" >/dev/null
export MTOOLS_SKIP_CHECK=1
mmd -i "$card" ::/DCIM ::/DCIM/100KORVL
n=0
for photo in "$ROOT"/tests/data/demo/*.* "$ROOT"/tests/data/jpeg/*.jpg; do
  [[ -f "$photo" ]] || continue
  n=$((n + 1))
  ext="${photo##*.}"
  mcopy -i "$card" "$photo" "::/DCIM/100KORVL/$(printf 'IMG_%04d' "$n").${ext^^}"
done
mdel -i "$card" "::/DCIM/100KORVL/*"
echo "The card held $n files; all of them are deleted now." >&2

log "Recovering"
"$SALVORA" recover --image "$card" --out "$work/recovered" --types all --quiet
echo "Recovered files are in $work/recovered:"
ls -l "$work/recovered" | tail -n +2 | sed 's/^/  /'
originals=$(sha256sum "$ROOT"/tests/data/demo/*.* "$ROOT"/tests/data/jpeg/*.jpg 2>/dev/null | cut -d' ' -f1 | sort -u)
identical=0
total=0
for file in "$work"/recovered/*; do
  total=$((total + 1))
  grep -qx "$(sha256sum "$file" | cut -d' ' -f1)" <<<"$originals" && identical=$((identical + 1))
done
echo "$identical of $total recovered files are byte-identical to the deleted originals."
