#!/usr/bin/env bash
# Windows packages from the cross build: a zip of salvora.exe and lockwright.exe
# and, when NSIS is installed, an installer that puts both in one folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root/build/windows"
rm -rf packages
generators=ZIP
command -v makensis >/dev/null && generators="ZIP;NSIS"
cpack -G "$generators" >/dev/null
ls "$root"/build/windows/packages/*.zip "$root"/build/windows/packages/*.exe 2>/dev/null
