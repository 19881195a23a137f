#!/usr/bin/env bash
# Builds every libFuzzer target with clang in its own build folder and runs each for SECONDS
# from its committed seeds (fuzz/corpus/<target>/, if any); prints runs and crashes per
# target. Not part of CI: CTest only runs a short smoke run of each target.
set -uo pipefail
seconds=${1:?usage: tools/fuzz.sh SECONDS}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLMARK_FUZZ_BUILD_DIR:-$top/build-fuzz}
work=$build/fuzz-runs
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLMARK_FUZZ=ON -DQUILLMARK_GUI=OFF "${launcher[@]}" >/dev/null || exit 1
# Everything under fuzz/, so targets added later are built and run too.
cmake --build "$build" --target fuzz/all -j"${QUILLMARK_JOBS:-2}" >/dev/null || exit 1

mapfile -t targets < <(find "$build/fuzz" -maxdepth 1 -type f -perm -u+x -name 'fuzz_*' | sort)
if ((${#targets[@]} == 0)); then
    echo "no fuzz targets built" >&2
    exit 1
fi

status=0
printf '%-24s %12s %8s\n' target runs crashes
for exe in "${targets[@]}"; do
    name=$(basename "$exe")
    corpus=$work/$name/corpus
    artifacts=$work/$name/artifacts
    rm -rf "$artifacts"
    mkdir -p "$corpus" "$artifacts"
    seeds=()
    [[ -d $top/fuzz/corpus/$name ]] && seeds=("$top/fuzz/corpus/$name")
    # New inputs go to the working corpus; the committed seeds are only read.
    "$exe" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$corpus" "${seeds[@]}" >"$work/$name/log" 2>&1
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name/log" | tail -1)
    crashes=$(find "$artifacts" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'oom-*' \
        -o -name 'timeout-*' \) | wc -l)
    printf '%-24s %12s %8s\n' "$name" "${runs:-?}" "$crashes"
    if ((crashes > 0)); then
        echo "  artifacts in $artifacts, log $work/$name/log"
        status=1
    fi
done
exit $status
