#!/usr/bin/env bash
# Runs a command under a private weston compositor (headless backend) as a Wayland client.
# Root runs it too: weston gets a runtime folder of its own. WESTON_ARGS adds options, e.g.
# --use-pixman to render for screenshots.
set -euo pipefail
runtime=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-weston.XXXXXX")
chmod 700 "$runtime"
socket=wayland-quillmark
weston_pid=
cleanup() {
    if [ -n "$weston_pid" ]; then
        kill "$weston_pid" 2>/dev/null || true
        wait "$weston_pid" 2>/dev/null || true
    fi
    rm -rf "$runtime"
}
trap cleanup EXIT
# shellcheck disable=SC2086 # WESTON_ARGS holds several options
XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --socket=$socket --no-config \
    --idle-time=0 --width=1024 --height=768 --log="$runtime/weston.log" ${WESTON_ARGS:-} &
weston_pid=$!
for _ in $(seq 200); do
    [ -S "$runtime/$socket" ] && break
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.05
done
if [ ! -S "$runtime/$socket" ]; then
    echo "weston did not start:" >&2
    cat "$runtime/weston.log" >&2 || true
    exit 1
fi
status=0
env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland "$@" ||
    status=$?
exit $status
