#!/usr/bin/env bash
# Checks Windows programs before they are shipped:
#   scripts/windows/check-programs.sh PROGRAM.exe...
# Each must be a 64-bit GUI executable (PE32+) whose import table names only
# DLLs that every Windows has, so the .exe runs on a bare system with nothing
# installed beside it. Prints what is wrong and fails on the first bad program.
set -euo pipefail
objdump=x86_64-w64-mingw32-objdump
# DLLs of Windows itself that the programs may import (compared in lower case).
system_dlls=" kernel32.dll user32.dll gdi32.dll gdiplus.dll comctl32.dll comdlg32.dll ole32.dll oleaut32.dll
  shell32.dll shlwapi.dll advapi32.dll msvcrt.dll uxtheme.dll version.dll setupapi.dll cfgmgr32.dll "
status=0
for program in "$@"; do
  kind=$(file -b "$program")
  if [[ "$kind" != "PE32+ executable (GUI) x86-64"* ]]; then
    echo "$program: not a 64-bit Windows GUI program: $kind" >&2
    status=1
    continue
  fi
  mapfile -t dlls < <("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
  if [[ ${#dlls[@]} -eq 0 ]]; then
    echo "$program: no import table found" >&2
    status=1
  fi
  for dll in "${dlls[@]}"; do
    if [[ "$system_dlls" != *" ${dll,,} "* ]]; then
      echo "$program: imports $dll, which is not part of Windows" >&2
      status=1
    fi
  done
  echo "$program: $kind; imports ${dlls[*]}"
done
exit "$status"
