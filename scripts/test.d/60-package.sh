# packages: package windows
# The Debian package installs working programs: unpack it into a scratch root
# and run them from there.
build_preset release >/dev/null
( cd "$ROOT/build/release" && rm -rf packages && cpack -G DEB >/dev/null )
deb=$(ls "$ROOT"/build/release/packages/*.deb)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch"
"$scratch/usr/bin/salvora" --help | grep -q "recover"
test -f "$scratch/usr/share/man/man1/salvora.1"
if [[ -x "$scratch/usr/bin/lockwright" ]]; then "$scratch/usr/bin/lockwright" --help >/dev/null; fi
echo "package $(basename "$deb") installs and runs"

# The Windows zip holds both programs side by side.
if [[ -f "$ROOT/build/windows/build.ninja" ]]; then
  "$ROOT/scripts/package_windows.sh" >/dev/null
  listing=$(unzip -l "$ROOT"/build/windows/packages/*.zip)
  grep -q "/salvora.exe" <<<"$listing"
  grep -q "/lockwright.exe" <<<"$listing"
  echo "Windows zip holds salvora.exe and lockwright.exe"
fi
