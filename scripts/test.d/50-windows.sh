# Windows: cross-builds both programs and every test suite with MinGW-w64,
# checks the programs, and runs the tests as Windows programs under Wine on a
# virtual display: the engine's suites (image reader, output files, whole
# recoveries), the widget gallery, which also leaves a screenshot at
# build/windows/widget-gallery.png, and salvora.exe itself driven through its
# windows on a card image made with the partition tools, which leaves
# pictures of its windows in build/windows/screenshots. Everything has a time
# limit.
# packages: windows partitions
log "Windows cross build"
build_preset windows -j2
"$ROOT/scripts/windows/check-programs.sh" "$ROOT/build/windows/recovery_app/win/salvora.exe" \
  "$ROOT/build/windows/cardprotect_app/win/lockwright.exe"

log "Windows tests under Wine"
shot="$ROOT/build/windows/widget-gallery.png"
rm -f "$shot"
rm -rf "$ROOT/build/windows/screenshots"
# Wine shows the Unix root as drive Z:.
export SALVORA_GALLERY_SHOT="Z:${shot//\//\\}"
SALVORA_WINE_TIMEOUT=270 "$ROOT/scripts/windows/wine-session.sh" \
  ctest --test-dir "$ROOT/build/windows" -j 2 --timeout 120 --output-on-failure
if [[ ! -s "$shot" ]]; then
  echo "The widget gallery left no screenshot at $shot" >&2
  exit 1
fi
log "Widget gallery screenshot: $shot"
if [[ -d "$ROOT/build/windows/tests/salvora_gui" ]]; then
  shots=$(find "$ROOT/build/windows/screenshots" -name '*.png' 2>/dev/null | wc -l)
  if [[ "$shots" -eq 0 ]]; then
    echo "The window test of salvora.exe left no screenshots in build/windows/screenshots" >&2
    exit 1
  fi
  log "Screenshots of salvora.exe's windows: build/windows/screenshots ($shots pictures)"
fi
