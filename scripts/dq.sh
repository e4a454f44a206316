#!/usr/bin/env bash
# The set-up in one place: installs what the project needs from Debian's archive (only what is
# missing), configures, builds, and runs the program or the tests.
#
#   bash scripts/dq.sh run              set up, build only the program and start it
#   bash scripts/dq.sh test             set up, build everything and run every test
#   bash scripts/dq.sh test --sanitize  the same in an AddressSanitizer + UBSan build (build-asan/)
#   bash scripts/dq.sh test --tsan      the same in a ThreadSanitizer build (build-tsan/)
#   bash scripts/dq.sh setup            only install the packages
#   bash scripts/dq.sh build [--sanitize|--tsan]
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

packages=(cmake g++ make pkg-config qt6-base-dev libusb-1.0-0-dev libhidapi-dev librtmidi-dev
          libgtest-dev libgmock-dev libbenchmark-dev fonts-liberation2
          clang libclang-rt-14-dev xvfb xauth desktop-file-utils)

setup() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing from Debian's archive: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    if ! "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; then
        "${sudo[@]}" apt-get update
        "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}

flavour=normal
builddir=build
cmake_flags=()
parse_flavour() {
    case "${1:-}" in
        --sanitize) flavour=asan; builddir=build-asan
                    cmake_flags=(-DDQ_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DDQ_BUILD_BENCH=ON) ;;
        --tsan)     flavour=tsan; builddir=build-tsan
                    cmake_flags=(-DDQ_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
        "")         ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
}

# build [target...]: everything, or only the targets named.
build() {
    setup
    cmake -S . -B "$builddir" "${cmake_flags[@]}" >/dev/null
    local targets=()
    [ $# -eq 0 ] || targets=(--target "$@")
    cmake --build "$builddir" -j "$(nproc)" "${targets[@]}"
}

run_tests() {
    build
    export QT_QPA_PLATFORM=offscreen
    case "$flavour" in
        asan)
            export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
            export LSAN_OPTIONS="suppressions=$top/tests/support/lsan.supp:print_suppressions=0"
            export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
            ;;
        tsan)
            export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$top/tests/support/tsan.supp"
            ;;
    esac
    (cd "$builddir" && ctest --output-on-failure -j "$(nproc)" ${CTEST_ARGS:-})
}

run_program() {
    # The program and its two libraries, not the tests, simulators and benchmarks.
    build DictionaryQuillfast kbdhook Midi
    # From the top of the tree, so that the data folder ("Data" beside the current folder) is
    # the shipped one.
    cd "$top"
    exec "$builddir/app/DictionaryQuillfast"
}

cmd=${1:-}
shift || true
case "$cmd" in
    setup) setup ;;
    build) parse_flavour "${1:-}"; build ;;
    test)  parse_flavour "${1:-}"; run_tests ;;
    run)   run_program ;;
    *) sed -n '2,11p' "$0"; exit 2 ;;
esac
