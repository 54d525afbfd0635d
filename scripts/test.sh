# ./run test: builds everything and runs every test: the formatting check, the
# Release build, the sanitizer build, then each stage in scripts/test.d (in name order).
ensure_packages build demo judges
mapfile -t stages < <(ls "$ROOT"/scripts/test.d/*.sh 2>/dev/null | sort)
for stage in "${stages[@]}"; do
  # A stage may declare the package lists it needs on a line "# packages: a b".
  needs=$(sed -n 's/^# packages: //p' "$stage")
  [[ -n "$needs" ]] && ensure_packages $needs
done

log "Formatting"
"$ROOT/run" format --check

log "Release build and tests"
build_preset release
ctest --preset release -j "$(jobs)"

log "Sanitizer build (ASan + UBSan) and tests"
build_preset asan
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j "$(jobs)"

for stage in "${stages[@]}"; do
  log "Stage $(basename "$stage" .sh)"
  # shellcheck disable=SC1090
  ( source "$stage" )
done
log "All tests passed"
