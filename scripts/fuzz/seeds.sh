#!/usr/bin/env bash
# seeds.sh TARGET CORPUS: writes the seed inputs of a fuzz target.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
target=$1
corpus=$2
n=0
case "$target" in
  fuzz_recognisers)
    # A family byte (no file in progress), then the first 64 KiB of a real file.
    find "$root/tests/data" -type f ! -name '*.md' | sort | while read -r file; do
      n=$((n + 1))
      { printf '\000'; head -c 65536 "$file"; } >"$corpus/seed-$n"
    done
    ;;
  fuzz_partitions)
    # Boot sectors and tables of real volumes made by mkfs.vfat, mkntfs and sfdisk.
    for tool in "mkfs.vfat -F 12" "mkfs.vfat -F 16" "mkfs.vfat -F 32"; do
      n=$((n + 1))
      scratch=$(mktemp)
      truncate -s 40M "$scratch"
      $tool -n SEED "$scratch" >/dev/null 2>&1 && head -c 65536 "$scratch" >"$corpus/seed-$n"
      rm -f "$scratch"
    done
    # A FAT12 volume as large as the target's medium (1 MiB), with folders,
    # long names and a deleted file, for the map of its files.
    scratch=$(mktemp)
    truncate -s 1M "$scratch"
    if mkfs.vfat -F 12 -n SEED "$scratch" >/dev/null 2>&1; then
      head -c 3000 "$root/tests/data/jpeg/jfif_exif_160x120.jpg" >"$scratch.photo"
      MTOOLS_SKIP_CHECK=1 mmd -i "$scratch" ::/DCIM ::/DCIM/100SEED >/dev/null 2>&1 || true
      MTOOLS_SKIP_CHECK=1 mcopy -i "$scratch" "$scratch.photo" "::/DCIM/100SEED/Holiday photo.jpg" >/dev/null 2>&1 || true
      MTOOLS_SKIP_CHECK=1 mcopy -i "$scratch" "$scratch.photo" "::/DCIM/100SEED/IMG_0001.JPG" >/dev/null 2>&1 || true
      MTOOLS_SKIP_CHECK=1 mdel -i "$scratch" "::/DCIM/100SEED/IMG_0001.JPG" >/dev/null 2>&1 || true
      head -c 65536 "$scratch" >"$corpus/seed-fat-files"
      rm -f "$scratch.photo"
    fi
    rm -f "$scratch"
    scratch=$(mktemp)
    truncate -s 8M "$scratch"
    if mkntfs -F -q -L SEED "$scratch" >/dev/null 2>&1; then head -c 65536 "$scratch" >"$corpus/seed-ntfs"; fi
    printf 'label: dos\n2048,4096,c\n8192,4096,5\n' | sfdisk -q "$scratch" >/dev/null 2>&1 && head -c 1024 "$scratch" >"$corpus/seed-mbr"
    # A GUID partition table: protective MBR, header and the 16 KiB entry array.
    # The last byte (1) asks the target to keep the checksums right.
    if printf 'label: gpt\nstart=2048, size=4096, name="Fotos"\nstart=8192, size=4096\n' |
      sfdisk -q "$scratch" >/dev/null 2>&1; then
      { head -c 17407 "$scratch"; printf '\001'; } >"$corpus/seed-gpt"
      { head -c 17407 "$scratch"; printf '\003'; } >"$corpus/seed-gpt-backup"
    fi
    rm -f "$scratch"
    ;;
  fuzz_card_status)
    # Flags, an erase-time byte, then status answers: locked, failed, idle, IDENTIFY-like.
    printf '\003\001\000\002\000\012\000\000' >"$corpus/seed-locked"
    printf '\002\377\000\003\000\002\000\000' >"$corpus/seed-failed"
    head -c 600 /dev/zero >"$corpus/seed-zero"
    ;;
  fuzz_evidence)
    # Small Expert Witness segments made by ewfacquire (one, and a set of
    # two), and names of parts and segments.
    scratch=$(mktemp -d)
    head -c 24576 "$root/tests/data/jpeg/camera_640x480.jpg" >"$scratch/raw"
    if ewfacquire -u -q -c none -t "$scratch/one" "$scratch/raw" >/dev/null 2>&1; then
      cp "$scratch/one.E01" "$corpus/seed-e01"
    fi
    if ewfacquire -u -q -c deflate:best -t "$scratch/packed" "$scratch/raw" >/dev/null 2>&1; then
      cp "$scratch/packed.E01" "$corpus/seed-packed"
    fi
    rm -rf "$scratch"
    for name in card.E01 case.EZZ case.Ex99 disk.001 card.img.aa x.zz; do
      n=$((n + 1))
      printf '%s\n' "$name" >"$corpus/seed-name-$n"
    done
    ;;
  *)
    # Other targets take the first 64 KiB of the real files as they are.
    find "$root/tests/data" -type f ! -name '*.md' | sort | while read -r file; do
      n=$((n + 1))
      head -c 65536 "$file" >"$corpus/seed-$n"
    done
    ;;
esac
