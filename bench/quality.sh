#!/usr/bin/env bash
# Recovery quality on card and disk images made from real files (see
# bench/quality.py): one table per image kind, every type on and each type
# alone, every output scored byte for byte against the ground truth.
#
# Targets: every type on, each contiguous file of a type whose format defines
# its end exact, recall >= 0.97, precision >= 0.95; each type alone, no
# overlong file of such a type; bytes written / bytes kept <= 1.05.
#
# The FAT32 card also holds fragmented files, counted apart ("frag") and next
# to foremost and scalpel (target: at least 60% byte-exact).
#
# Then the fragmented files: bench/fragmented.sh lays a FAT32 card with files
# in two or three pieces and prints the recall on fragmented files apart
# (target: at least 60% byte-exact).
#
# Usage: bench/quality.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
python3 "$root/bench/quality.py" --build "$build"
echo
echo "Fragmented files on a FAT32 card:"
"$root/bench/fragmented.sh" "$build"
