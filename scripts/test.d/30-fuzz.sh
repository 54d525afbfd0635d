# packages: fuzz
# Each fuzz target runs briefly (FUZZ_SECONDS, default 20) with ASan and UBSan.
build_preset fuzz >/dev/null
run_fuzz_targets "${FUZZ_SECONDS:-20}"
