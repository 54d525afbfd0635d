# ./run package: a Debian package of the Linux programs (build/release/packages/)
# and, when the Windows build is available, a zip of salvora.exe and
# lockwright.exe (and an installer when NSIS is installed).
ensure_packages build package
build_preset release >/dev/null
( cd "$ROOT/build/release" && cpack -G DEB >/dev/null )
ls "$ROOT"/build/release/packages/*.deb
if [[ -f "$ROOT/scripts/windows.sh" ]]; then
  # shellcheck disable=SC1091
  source "$ROOT/scripts/windows.sh"
  [[ -x "$ROOT/scripts/package_windows.sh" ]] && "$ROOT/scripts/package_windows.sh"
fi
true
