# ./run fuzz [SECONDS]: builds the fuzz targets (clang, libFuzzer, ASan and
# UBSan) and runs each for SECONDS (default 600) on a corpus seeded from the
# real files under tests/data. Crashes are written to build/fuzz/crashes/.
ensure_packages build fuzz
seconds="${1:-600}"
build_preset fuzz >/dev/null
run_fuzz_targets "$seconds"
