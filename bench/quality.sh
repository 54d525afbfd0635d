#!/usr/bin/env bash
# Recovery quality on card and disk images made from real files (see
# bench/quality.py): one table per image kind, every type on and each type
# alone, every output scored byte for byte against the ground truth.
#
# Targets: every type on, each contiguous file of a type whose format defines
# its end exact, recall >= 0.97, precision >= 0.95; each type alone, no
# overlong file of such a type; bytes written / bytes kept <= 1.05.
#
# Usage: bench/quality.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exec python3 "$root/bench/quality.py" --build "${1:-$root/build/release}"
