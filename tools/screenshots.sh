#!/usr/bin/env bash
# Screenshots of the main window on each page, of a send in progress and of the Status panel
# lime and red, of the receiver preview, of the About box, the port dialog and the online
# window, taken under Xvfb into a folder outside the source tree (default
# /tmp/quillmark-screenshots).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLMARK_BUILD_DIR:-$top/build}
out=${1:-/tmp/quillmark-screenshots}
"$top/tools/install-deps.sh"
if ! command -v import >/dev/null; then # imagemagick: only the screenshots need it
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends imagemagick
fi
cmake -S "$top" -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target quillmark-screenshot-window quillmark-encoder-sim quillmark-browser
mkdir -p "$out"
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export XDG_CONFIG_HOME="$config" QUILLMARK_BROWSER="$build/src/browser/quillmark-browser"
helper="$build/tests/ui/quillmark-screenshot-window"
sim="$build/sim/quillmark-encoder-sim"

xvfb-run -a -s "-screen 0 1024x768x24" bash -s "$helper" "$sim" "$out" <<'INNER'
set -euo pipefail
helper=$1 sim=$2 out=$3
"$sim" --link COM1 >/dev/null 2>&1 &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true' EXIT
sleep 1
shoot() { # name, helper arguments...
    local name=$1
    shift
    "$helper" "$@" >/dev/null 2>&1 &
    local pid=$!
    sleep "${SHOT_DELAY:-3}"
    import -window root "$out/$name.png"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
pages=(PI PS PTY AF RT CONFIG)
for i in "${!pages[@]}"; do
    shoot "main-${i}-${pages[$i]}" page "$i"
done
shoot about about
shoot ports ports
shoot send-progress send-progress
shoot status-lime status-lime
shoot status-red status-red
shoot receiver receiver
SHOT_DELAY=6 shoot online online
INNER
echo "screenshots in $out"
