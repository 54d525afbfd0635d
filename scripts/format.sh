# ./run format [--check]: formats every C++ source with the committed
# .clang-format; with --check, changes nothing and fails when a file differs.
command -v clang-format >/dev/null || ensure_packages build
mapfile -t sources < <(git -C "$ROOT" ls-files -co --exclude-standard '*.cpp' '*.h' | sed "s|^|$ROOT/|")
if [[ "${1:-}" == "--check" ]]; then
  differing=()
  for source in "${sources[@]}"; do
    [[ -f "$source" ]] || continue
    clang-format --style=file "$source" | cmp -s - "$source" || differing+=("${source#"$ROOT"/}")
  done
  if [[ ${#differing[@]} -gt 0 ]]; then
    echo "These files differ from .clang-format (./run format mends them):" >&2
    printf '  %s\n' "${differing[@]}" >&2
    exit 1
  fi
  echo "Every C++ source follows .clang-format (${#sources[@]} files)"
else
  clang-format -i --style=file "${sources[@]}"
fi
