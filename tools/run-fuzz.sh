#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time, starting
# from the seeds in tests/fuzz/corpus/<target>/. New inputs go to a scratch
# corpus in the build folder, so the repository's seeds stay small.
#   tools/run-fuzz.sh BUILD_DIR SECONDS [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
seconds=$2
shift 2
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
    for binary in "$build"/tests/fuzz/*Fuzz; do
        targets+=("$(basename "$binary")")
    done
fi

status=0
for target in "${targets[@]}"; do
    seeds=tests/fuzz/corpus/$target
    scratch=$build/fuzz-corpus/$target
    artifacts=$build/fuzz-findings/$target/
    mkdir -p "$scratch" "$artifacts"
    max_len=4096
    [[ $target == MatcherFuzz || $target == CodeSignatureFuzz ]] && max_len=16384
    echo "== $target: ${seconds}s"
    if "$build/tests/fuzz/$target" "$scratch" "$seeds" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
        -artifact_prefix="$artifacts" -print_final_stats=1 >"$build/fuzz-$target.log" 2>&1; then
        grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)|cov: ' "$build/fuzz-$target.log" |
            tail -4
    else
        tail -60 "$build/fuzz-$target.log"
        echo "== $target: FINDING (inputs in $artifacts)"
        status=1
    fi
done
exit $status
