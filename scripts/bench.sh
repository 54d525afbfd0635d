# ./run bench: builds the programs and runs every benchmark under bench/.
ensure_packages build bench
build_preset release >/dev/null
for bench in "$ROOT"/bench/*.sh; do
  log "$(basename "$bench" .sh)"
  "$bench" "$ROOT/build/release"
done
