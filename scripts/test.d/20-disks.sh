# Lists this machine's disks with salvora, as root and as an unprivileged
# user. The packages below also serve the real-image tests that ctest ran.
# packages: partitions
SALVORA="$ROOT/build/release/recovery_app/salvora"
log "salvora disks"
"$SALVORA" disks
if [[ $(id -u) -eq 0 ]] && command -v setpriv >/dev/null; then
  log "salvora disks without administrator rights"
  out=$(setpriv --reuid=65534 --regid=65534 --clear-groups "$SALVORA" disks 2>&1)
  echo "$out"
  if grep -q "^  1  " <<<"$out" && ! grep -q "needs administrator rights" <<<"$out"; then
    echo "salvora disks did not say why it cannot read the disks without rights" >&2
    exit 1
  fi
fi
