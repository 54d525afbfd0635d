#!/usr/bin/env bash
# fuzz_seeds.sh TARGET CORPUS: writes the seed inputs of a fuzz target.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
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
  *)
    # Other targets take the first 64 KiB of the real files as they are.
    find "$root/tests/data" -type f ! -name '*.md' | sort | while read -r file; do
      n=$((n + 1))
      head -c 65536 "$file" >"$corpus/seed-$n"
    done
    ;;
esac
