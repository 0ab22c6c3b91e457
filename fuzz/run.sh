#!/usr/bin/env bash
# Builds the fuzz targets, makes their seed corpora and runs each target for a bounded time.
#   fuzz/run.sh [SECONDS]     seconds per target (default 20); exits 1 when any target finds a crash
# OUT (default /tmp/lqfuzz) holds the build, the growing corpora (OUT/corpus/TARGET, kept between runs)
# and any crash input (OUT/crashes/TARGET-crash-...). LQPACK and LQ_STUB name lqpack and the stub for the
# seeds (see make_seeds.sh). A crash input becomes a fixture under tests/unit/fixtures/ and a test in
# tests/unit/test_regressions.cpp.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
out=${OUT:-/tmp/lqfuzz}
targets=(fuzz_locate fuzz_unpack fuzz_naming fuzz_project)

make --no-print-directory -C "$root/fuzz" -j2 OUT="$out" >/dev/null || { echo "fuzz: build failed" >&2; exit 2; }
if [ ! -d "$out/seeds" ]; then
    "$root/fuzz/make_seeds.sh" "$out/seeds.tmp" >/dev/null && mv "$out/seeds.tmp" "$out/seeds" || exit 2
fi

status=0
for t in "${targets[@]}"; do
    corpus=$out/corpus/$t
    seeds=$out/seeds/${t#fuzz_}
    mkdir -p "$corpus" "$out/crashes"
    log=$out/$t.log
    # -max_len covers the seed installers (a 70 KiB stub and their data); -timeout catches a loop.
    "$out/$t" "$corpus" "$seeds" -max_total_time="$seconds" -max_len=131072 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$out/crashes/$t-" >"$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    if [ $rc -ne 0 ]; then
        status=1
        echo "$t: FAILED after ${runs:-?} runs (exit $rc); see $log and $out/crashes/"
        grep -m3 -E "ERROR|SUMMARY|broken:" "$log"
    else
        echo "$t: ${runs:-?} runs in ${seconds}s, no crash"
    fi
done
exit $status
