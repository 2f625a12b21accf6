#!/usr/bin/env bash
# Builds the fuzz targets, replays each target's corpus (every input must pass), then fuzzes
# each target for SECONDS (default 60), one after the other on one core. A crash, a leak, a
# hang (10 s), a sanitizer report or a failed check ends the run with a non-zero status and
# leaves the input in BUILD_DIR/artifacts/.
#
#   fuzz/run.sh [SECONDS] [BUILD_DIR]        (BUILD_DIR defaults to build-fuzz)
#
# New inputs go to BUILD_DIR/corpus/<target>/, never to the corpus kept in git.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${2:-build-fuzz}

CXX=clang++ cmake -S fuzz -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2
mkdir -p "$build/artifacts"

# Runs a command with its output in a log; on failure shows the end of the log and stops.
logged() {
    local log=$1
    shift
    if ! "$@" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "FAILED: $* (log: $log)"
        exit 1
    fi
}

# Standard output carries the readers' messages: -close_fd_mask=1 silences it. The address
# sanitizer's runtime keeps some memory for every thread that ends, and the text reader starts
# threads, so a campaign of hours outgrows libFuzzer's default 2 GB limit.
common=(-close_fd_mask=1 -timeout=10 -rss_limit_mb=8192 -print_final_stats=1)
for target in textMacro binaryMacro modelFile htkImport; do
    options=("${common[@]}" -artifact_prefix="$build/artifacts/$target-")
    if [ "$target" = textMacro ]; then
        options+=(-dict=fuzz/textMacro.dict -max_len=4096)
    fi
    if [ "$target" = htkImport ]; then
        options+=(-dict=fuzz/htkImport.dict -max_len=8192)
    fi
    mapfile -d '' inputs < <(find "fuzz/corpus/$target" -type f -print0)
    logged "$build/$target-replay.log" "$build/${target}Fuzzer" "${options[@]}" "${inputs[@]}"
    echo "== $target: ${#inputs[@]} corpus inputs replayed"
    mkdir -p "$build/corpus/$target"
    logged "$build/$target-fuzz.log" "$build/${target}Fuzzer" "${options[@]}" -max_total_time="$seconds" \
        "$build/corpus/$target" "fuzz/corpus/$target"
    echo "== $target: $seconds s of new inputs"
    grep -E '^(stat::|#[0-9]+ +DONE)' "$build/$target-fuzz.log"
done
