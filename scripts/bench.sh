# ./run bench [NAME]: builds the programs and runs every benchmark under
# bench/, or only bench/NAME.sh (for example ./run bench quality).
ensure_packages build bench
build_preset release >/dev/null
benches=("$ROOT"/bench/*.sh)
if [[ $# -gt 0 ]]; then
  benches=("$ROOT/bench/$1.sh")
  [[ -f "${benches[0]}" ]] || { echo "run bench: no benchmark named '$1'" >&2; exit 2; }
fi
for bench in "${benches[@]}"; do
  # The quality benchmark runs the fragmented-files one as its last part.
  [[ $# -eq 0 && $(basename "$bench") == fragmented.sh ]] && continue
  log "$(basename "$bench" .sh)"
  "$bench" "$ROOT/build/release"
done
