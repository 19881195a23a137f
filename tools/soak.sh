#!/usr/bin/env bash
# Runs the protocol soak for N operations against an unpaced simulated encoder that injects
# faults, and prints its figures (operations, faults, frames, reads checked, time). Not part
# of CI, which runs a short soak. Usage: tools/soak.sh N
set -euo pipefail
n=${1:?usage: tools/soak.sh N}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLMARK_BUILD_DIR:-$top/build}
cmake --build "$build" --target tst_protocol_soak -j"${QUILLMARK_JOBS:-2}" >/dev/null
# The test's own watchdog would end a long soak.
export QTEST_FUNCTION_TIMEOUT=$((7 * 24 * 3600 * 1000))
export QUILLMARK_SOAK_OPERATIONS=$n QT_QPA_PLATFORM=offscreen
exec "$build/tests/protocol/tst_protocol_soak" randomOperationsWithFaults
