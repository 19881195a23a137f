#!/usr/bin/env bash
# Builds the Debian package quillmark_<version>_<arch>.deb with CPack from a build tree
# (default build/, configured if needed), checks its contents with the desktop, AppStream
# and Debian validators, unpacks it into a throw-away root and runs the programs from
# there. Prints the package's path; any missing file or validator error fails the run.
#   tools/package.sh [build-dir]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-${QUILLMARK_BUILD_DIR:-$top/build}}")
out="$build/package"

fail() {
    echo "package: FAILED: $*" >&2
    exit 1
}

"$top/tools/install-deps.sh"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"

available=$(cmake --build "$build" --target help)
# "... name" from make, "name: phony" from ninja.
has_target() { grep -Eq "^(\.\.\. )?$1(:| |$)" <<<"$available"; }
targets=(quillmark quillmark-encoder-sim quillmark-browser)
for t in "${targets[@]}"; do
    has_target "$t" || fail "the build has no target $t"
done
has_target quillmark-cli && targets+=(quillmark-cli)
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

rm -rf "$out"
(cd "$build" && cpack -G DEB -B "$out" >"$build/cpack.log" 2>&1) ||
    { cat "$build/cpack.log" >&2; fail "cpack"; }
debs=("$out"/quillmark_"$version"_*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no quillmark_${version}_*.deb in $out"
deb=${debs[0]}

# Contents: every program, its man page, the desktop files and the Debian documents.
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}' | sed 's|^\./|/|')
expect=(/usr/bin/quillmark /usr/bin/quillmark-encoder-sim /usr/libexec/quillmark/quillmark-browser
        /usr/share/man/man1/quillmark-browser.1.gz
        /usr/share/applications/com.tarvenor.Quillmark.desktop
        /usr/share/metainfo/com.tarvenor.Quillmark.metainfo.xml
        /usr/share/icons/hicolor/scalable/apps/quillmark.svg
        /usr/share/doc/quillmark/copyright /usr/share/doc/quillmark/changelog.gz)
for size in 16 22 24 32 48 64 128 256 512; do
    expect+=("/usr/share/icons/hicolor/${size}x${size}/apps/quillmark.png")
done
has_target quillmark-cli && expect+=(/usr/bin/quillmark-cli)
for program in $(grep '^/usr/bin/.' <<<"$contents"); do
    expect+=("/usr/share/man/man1/$(basename "$program").1.gz")
done
missing=0
for f in "${expect[@]}"; do
    grep -qxF "$f" <<<"$contents" || { echo "package: missing $f" >&2; missing=1; }
done
[ $missing = 0 ] || fail "files missing from $deb"

[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
grep -q 'libqt6widgets6' <<<"$(dpkg-deb -f "$deb" Depends)" ||
    fail "Depends lacks the Qt libraries: $(dpkg-deb -f "$deb" Depends)"

root=$(mktemp -d)
sim_pid=""
cleanup() {
    [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
    rm -rf "$root"
}
trap cleanup EXIT
dpkg -x "$deb" "$root"

desktop-file-validate "$root/usr/share/applications/com.tarvenor.Quillmark.desktop" ||
    fail "desktop-file-validate"
# The whole tree: the metainfo file, and the menu entry and icon it names.
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"
# Tags at warning level and below are listed; an error fails.
lintian --fail-on error "$deb" || fail "lintian"

# The programs as installed, each from the unpacked root.
if [ -x "$root/usr/bin/quillmark-cli" ]; then
    cli_version=$("$root/usr/bin/quillmark-cli" --version) || fail "quillmark-cli --version"
    grep -qwF -- "$version" <<<"$cli_version" || fail "quillmark-cli --version: '$cli_version'"
fi
# The web engine talks a lot on stderr; it is shown only when the check fails.
found=$(env -u QUILLMARK_BROWSER QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 \
    "$root/usr/bin/quillmark" --check-helper 2>"$root/helper.err") ||
    { cat "$root/helper.err" >&2; fail "quillmark --check-helper"; }
[ "$found" = "$root/usr/libexec/quillmark/quillmark-browser" ] ||
    fail "quillmark ran the helper '$found', not the installed one"

mkdir -p "$root/config"
XDG_CONFIG_HOME="$root/config" "$root/usr/bin/quillmark-encoder-sim" --no-pace \
    >"$root/sim.out" 2>/dev/null &
sim_pid=$!
for _ in $(seq 50); do
    [ -s "$root/sim.out" ] && break
    sleep 0.1
done
pty=$(head -n 1 "$root/sim.out")
[ -c "$pty" ] || fail "the simulated encoder gave no pseudo-terminal"
exec 3<>"$pty"
stty raw -echo <&3
exchange() { # frame in hex, answer length: prints the answer in hex
    printf "$(sed 's/../\\x&/g' <<<"$1")" >&3
    timeout 5 head -c "$2" <&3 | od -An -tx1 | tr -d ' \n'
}
[ "$(exchange 01e01204f7 1)" = aa ] || fail "the simulated encoder did not accept a PI write"
[ "$(exchange 100402 2)" = e012 ] || fail "the simulated encoder did not keep the PI"
exec 3<&-

echo "package: PASS $deb"
