#!/usr/bin/env bash
# Runs a command inside a throw-away Wine session on a virtual display:
#   scripts/windows/wine-session.sh COMMAND [ARGS...]
# The session is a fresh 64-bit WINEPREFIX booted once, on a free Xvfb
# display (no window manager, so Wine manages its own windows), with a
# persistent wineserver. COMMAND runs with WINEPREFIX, WINEDEBUG and DISPLAY
# set, so `wine x.exe` and `ctest` with the Wine emulator both work. Every
# step has a time limit; the prefix is removed at the end. The exit code is
# COMMAND's (124 when the session ran out of time).
#
# Environment: SALVORA_WINE_TIMEOUT  seconds for the whole session (default 600)
#              SALVORA_WINE_KEEP     1 keeps the prefix (its path is printed)
#              SALVORA_WINE_VERBOSE  1 prints the end of Wine's log when COMMAND fails
set -euo pipefail
if [[ $# -eq 0 ]]; then
  sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi

prefix=$(mktemp -d "${TMPDIR:-/tmp}/salvora-wine.XXXXXX")
cleanup() {
  # After a time-out the session's own clean-up may not have run: stop this
  # prefix's server (and with it its programs) before removing the prefix.
  if [[ -d "$WINEPREFIX" ]]; then timeout 30 wineserver -k >/dev/null 2>&1 || true; fi
  if [[ "${SALVORA_WINE_KEEP:-0}" == 1 ]]; then
    echo "Wine prefix kept: $prefix" >&2
  else
    rm -rf "$prefix" 2>/dev/null || { sleep 1; rm -rf "$prefix"; }
  fi
}
trap cleanup EXIT

export WINEPREFIX="$prefix/prefix" WINEARCH=win64 WINEDEBUG=-all
export SALVORA_WINE_LOG="$prefix/wine.log"

# The inner part runs on the virtual display. Wine's helper processes inherit
# stdio and would hold pipes open, so they get /dev/null and a log file.
inner='
set -u
log=$SALVORA_WINE_LOG
timeout 180 wineboot -i </dev/null >>"$log" 2>&1 || { echo "wineboot failed or timed out (see $log)" >&2; exit 125; }
timeout 60 wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /t REG_SZ /d N /f </dev/null >>"$log" 2>&1
wineserver -p </dev/null >>"$log" 2>&1
trap "timeout 30 wineserver -k >/dev/null 2>&1 || true" EXIT
timeout 60 wine cmd /c exit 0 </dev/null >>"$log" 2>&1
"$@"
'
status=0
timeout --kill-after=15 "${SALVORA_WINE_TIMEOUT:-600}" \
  xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" bash -c "$inner" wine-session "$@" || status=$?
if [[ $status -ne 0 && -s "$SALVORA_WINE_LOG" && "${SALVORA_WINE_VERBOSE:-0}" == 1 ]]; then
  tail -n 40 "$SALVORA_WINE_LOG" >&2
fi
exit "$status"
