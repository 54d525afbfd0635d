#!/usr/bin/env bash
# Makes the memory-card image the window test recovers:
#   make_card.sh OUTPUT.img FILE...
# A 16 MiB card with a PC partition table and one FAT16 volume labelled
# KORVELL_CAM (sfdisk, mkfs.vfat), the files copied into DCIM/100KORVL the way
# a camera writes them (mcopy), then deleted (mdel), as a user who emptied
# the card by mistake would. Salvora finds them again by their contents.
set -euo pipefail
export PATH="$PATH:/usr/sbin:/sbin" MTOOLS_SKIP_CHECK=1
out=$1
shift
tmp="$out.part"
rm -f "$tmp"
truncate -s 16M "$tmp"
printf 'label: dos\nunit: sectors\nstart=2048, size=30720, type=6\n' | sfdisk -q "$tmp"
mkfs.vfat -F 16 -n KORVELL_CAM --offset=2048 -h 2048 "$tmp" 15360 >/dev/null
volume="$tmp@@1048576"
mmd -i "$volume" ::/DCIM ::/DCIM/100KORVL
n=0
for file in "$@"; do
  n=$((n + 1))
  extension="${file##*.}"
  mcopy -i "$volume" "$file" "::/DCIM/100KORVL/$(printf 'KV_%04d' "$n").${extension^^}"
done
mdel -i "$volume" "::/DCIM/100KORVL/*"
mv "$tmp" "$out"
