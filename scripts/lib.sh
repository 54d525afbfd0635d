# Shared helpers of the ./run verbs. Sourced, not run.

log() { printf '\033[1m==> %s\033[0m\n' "$*" >&2; }

# Debian packages listed in scripts/packages/<list>.txt (one per line, # comments).
packages_of() {
  local list
  for list in "$@"; do
    sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$ROOT/scripts/packages/$list.txt"
  done
}

# Installs the missing packages of the named lists with apt-get when running as
# root; otherwise prints the one command that installs them and fails.
ensure_packages() {
  local missing=() pkg
  for pkg in $(packages_of "$@"); do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [[ ${#missing[@]} -eq 0 ]] && return 0
  if [[ $(id -u) -ne 0 ]]; then
    echo "Missing packages. Please run:" >&2
    echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  log "Installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures (once) and builds a CMake preset.
build_preset() {
  local preset=$1
  shift
  if [[ ! -f "$ROOT/build/$preset/build.ninja" ]]; then
    cmake --preset "$preset" -S "$ROOT" >/dev/null
  fi
  cmake --build --preset "$preset" "$@"
}

# Number of parallel jobs for builds and tests.
jobs() { nproc 2>/dev/null || echo 2; }

# Seeds the corpus of each fuzz target from the real files under tests/data
# and runs every target for the given number of seconds. Fails on a crash.
run_fuzz_targets() {
  local seconds=$1 target name corpus crashes
  crashes="$ROOT/build/fuzz/crashes"
  mkdir -p "$crashes"
  for target in "$ROOT"/build/fuzz/fuzz/fuzz_*; do
    [[ -x "$target" ]] || continue
    name=$(basename "$target")
    corpus="$ROOT/build/fuzz/corpus/$name"
    if [[ ! -d "$corpus" ]]; then
      mkdir -p "$corpus"
      "$ROOT/scripts/fuzz/seeds.sh" "$name" "$corpus"
    fi
    log "Fuzzing $name for $seconds s"
    ASAN_OPTIONS=detect_leaks=1 "$target" "$corpus" -max_total_time="$seconds" -max_len=70000 \
      -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$crashes/$name-" -print_final_stats=1 \
      >"$ROOT/build/fuzz/$name.log" 2>&1 || { tail -40 "$ROOT/build/fuzz/$name.log"; return 1; }
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|cov:' "$ROOT/build/fuzz/$name.log" | tail -3
  done
}
