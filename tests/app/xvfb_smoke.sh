#!/usr/bin/env bash
# Starts the real program under Xvfb with the X11 platform, with an empty HOME and profile, as
# a user would start it; it must show its main dialog listing the shipped modules, leave a
# picture of it and end.
#   xvfb_smoke.sh <program> <shipped Data folder> <output folder> [<data folder it must find>]
# Without the fourth argument it starts in a folder holding a copy of the shipped Data/, which
# it must take; with it (an installed program) it starts in an empty folder and must find its
# data folder by itself.
# Then each widget test named "...Picture" of the test programs in DQ_PICTURE_TESTS (separated
# by ":") runs on the same kind of X server, one process each, and leaves its windows' pictures
# in the output folder.
set -euo pipefail
program=$1
data=$2
out=$3
expected=${4:-}
if ! command -v xvfb-run >/dev/null; then
    echo "xvfb-run is not installed (Debian package xvfb)"
    exit 77
fi
rm -rf "$out"
mkdir -p "$out/home" "$out/config" "$out/runtime" "$out/start"
chmod 700 "$out/runtime"
if [ -z "$expected" ]; then
    cp -r "$data" "$out/start/Data"
    expected="$out/start/Data"
fi
cd "$out/start"
export HOME="$out/home" XDG_CONFIG_HOME="$out/config" XDG_RUNTIME_DIR="$out/runtime"
# Under AddressSanitizer: libxkbcommon-x11 hands strndup a length past the end of a terminated
# string, which only the strict string check counts as an overflow.
if [ -n "${ASAN_OPTIONS:-}" ]; then
    export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"
fi
export QT_QPA_PLATFORM=xcb DQ_EXIT_WHEN_SHOWN=1 DQ_SCREENSHOT="$out/main-dialog.png"
status=0
timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" "$program" >"$out/stdout" 2>"$out/stderr" ||
    status=$?
cat "$out/stdout"
fail() {
    echo "$1"
    cat "$out/stderr"
    exit 1
}
if [ "$status" -ne 0 ] || ! grep -q "main dialog shown" "$out/stdout"; then
    fail "the program ended with status $status without showing its main dialog:"
fi
[ -s "$out/main-dialog.png" ] || fail "no picture of the main dialog"
! grep -q "^message: " "$out/stdout" || fail "the program had something to say at start-up"
# The shipped modules: the folders of Data/ that hold a word list.
shipped=$(cd "$data" && for d in */; do
              compgen -G "${d}*.edq" >/dev/null && echo "module: ${d%/}"
          done | LC_ALL=C sort)
listed=$(grep "^module: " "$out/stdout" | LC_ALL=C sort || true)
[ -n "$shipped" ] || fail "no module in $data"
[ "$listed" = "$shipped" ] || fail "the modules listed are not the shipped ones: $shipped"
stored=$(grep "^Data\\\\Data%20Directory=" "$out/config/DQS/DictionaryQuillfast.conf" || true)
[ "$stored" = "Data\\Data%20Directory=$expected" ] ||
    fail "the data folder stored is not $expected: $stored"
echo "picture: $out/main-dialog.png"

IFS=: read -r -a picture_tests <<<"${DQ_PICTURE_TESTS:-}"
for tests in "${picture_tests[@]}"; do
    for name in $("$tests" --gtest_list_tests --gtest_filter='*Picture*' |
                  awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }'); do
        log="$out/$name.log"
        if ! DQ_TEST_PLATFORM=xcb DQ_SHOTS="$out" timeout 120 \
            xvfb-run -a -s "-screen 0 1280x1024x24" "$tests" --gtest_filter="$name" >"$log" 2>&1; then
            echo "the pictures of $name failed:"
            tail -n 40 "$log"
            exit 1
        fi
    done
done
for picture in "$out"/*.png; do
    [ "$picture" = "$out/main-dialog.png" ] || echo "picture: $picture"
done
