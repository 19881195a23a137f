#!/usr/bin/env bash
# Installs what is needed, builds, and starts Quillmark on the simulated encoder linked as
# COM1. Everything runs in a private, temporary config folder: your own settings and port
# links are never touched. The simulator stops when Quillmark exits.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLMARK_BUILD_DIR:-$top/build}
"$top/tools/install-deps.sh"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)" --target quillmark quillmark-encoder-sim quillmark-browser

config=$(mktemp -d)
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$config"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$config"
mkdir -p "$config/Tarvenor/Quillmark"

"$build/sim/quillmark-encoder-sim" --link COM1 >"$config/sim.out" &
sim_pid=$!
for _ in $(seq 100); do
    [ -s "$config/sim.out" ] && break
    kill -0 "$sim_pid" 2>/dev/null || { echo "the simulated encoder did not start" >&2; exit 1; }
    sleep 0.1
done
echo "Simulated encoder on $(head -n 1 "$config/sim.out"), linked as COM1"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting under Xvfb (nothing to see; set DISPLAY to use a screen)." >&2
    xvfb-run -a "$build/src/app/quillmark"
else
    "$build/src/app/quillmark"
fi
