# ./run build: the Linux programs in build/release.
ensure_packages build
build_preset release
log "Built build/release/recovery_app/salvora"
