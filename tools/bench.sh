#!/usr/bin/env bash
# Builds the benchmarks in a Release tree (build-bench) and runs every one of them,
# printing their figures. Installs libserialport and QSerialPort (benchmark peers) first
# when they are missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BENCH_BUILD_DIR:-$root/build-bench}"

QUILLMARK_BENCH=1 "$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_BENCH=ON >/dev/null
# Only the benchmarks and what they need, not the whole tree.
available="$(cmake --build "$build" --target help | sed -n 's/^\.\.\. \(bench_[a-z_]*\).*/\1/p')"
targets=()
for t in bench_serial bench_startup bench_protocol bench_cli bench_monitor; do
    grep -qx "$t" <<<"$available" && targets+=("$t")
done
cmake --build "$build" -j"${BENCH_JOBS:-2}" --target "${targets[@]}"

status=0
run() {
    local exe="$1"
    shift
    if [ ! -x "$exe" ]; then
        echo "== $(basename "$exe"): not built, skipped"
        return
    fi
    echo
    echo "== $(basename "$exe")"
    "$exe" "$@" || status=1
}

run "$build/bench/serial/bench_serial"
run "$build/bench/startup/bench_startup"
# The protocol benchmark (if present) needs a display for its window.
if [ -x "$build/bench/protocol/bench_protocol" ]; then
    QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" run "$build/bench/protocol/bench_protocol"
fi
run "$build/bench/cli/bench_cli"
if command -v ansible-playbook >/dev/null; then
    run "$root/bench/cli/fleet.sh" "$build/src/cli/quillmark-cli" "$build/sim/quillmark-encoder-sim" \
        "$root/examples/ansible"
fi
if [ -x "$build/bench/monitor/bench_monitor" ]; then
    QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" run "$build/bench/monitor/bench_monitor"
fi
exit $status
