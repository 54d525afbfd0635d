# ./run windows: cross-builds the Windows programs salvora.exe and
# lockwright.exe (MinGW-w64, statically linked) and collects them, checked,
# in build/windows/dist.
ensure_packages windows
log "Cross-building the Windows programs"
build_preset windows -j2 --target salvora lockwright
dist="$ROOT/build/windows/dist"
rm -rf "$dist"
mkdir -p "$dist"
cp "$ROOT/build/windows/recovery_app/win/salvora.exe" "$ROOT/build/windows/cardprotect_app/win/lockwright.exe" "$dist/"
"$ROOT/scripts/windows/check-programs.sh" "$dist/salvora.exe" "$dist/lockwright.exe"
log "Windows programs are in build/windows/dist"
