#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (AddressSanitizer + UBSan) in build-fuzz/
# and runs each on its checked-in corpus, fuzz/corpus/<target>/. New inputs go to
# build-fuzz/corpus/<target>/, so the checked-in corpus changes only when you copy one over.
#
#   bash scripts/fuzz.sh                  every target, 5 seconds each
#   bash scripts/fuzz.sh 600              every target, 10 minutes each
#   bash scripts/fuzz.sh 3600 fuzz_sg_reply   one target for an hour
# A broken property or a sanitizer report stops the run and leaves the input as
# build-fuzz/crash-*; rerun it with build-fuzz/fuzz/<target> <that file>.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"
seconds=${1:-5}
shift || true

bash scripts/dq.sh setup
if ! command -v clang++ >/dev/null; then
    echo "fuzz.sh: clang++ is not installed (Debian: clang, libclang-rt-14-dev)" >&2
    exit 1
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DDQ_FUZZ=ON -DDQ_SANITIZE=ON \
    -DDQ_BUILD_TESTS=OFF -DDQ_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link -fsanitize-coverage-ignorelist=$top/fuzz/coverage-ignore.txt" >/dev/null
cmake --build build-fuzz -j "${DQ_JOBS:-4}" --target fuzz_targets

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for src in fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
for t in "${targets[@]}"; do
    work=build-fuzz/corpus/$t
    log=build-fuzz/$t.log
    mkdir -p "$work" "fuzz/corpus/$t"
    if ! (cd build-fuzz && "fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            "../$work" "../fuzz/corpus/$t") >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "fuzz.sh: $t failed; its log is $log" >&2
        exit 1
    fi
    echo "$t: $(grep -E '^#[0-9]+' "$log" | tail -n 1)"
done
