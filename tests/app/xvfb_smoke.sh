#!/usr/bin/env bash
# Starts the real program under Xvfb with the X11 platform, from a folder holding a copy of the
# shipped Data/, as a user would start it; it must show its main dialog, leave a picture of it
# and end. Then each widget test named "...Picture" of the test programs given runs on the same
# kind of X server, one process each, and leaves its windows' pictures beside it.
#   xvfb_smoke.sh <program> <shipped Data folder> <output folder> [<widget test program>...]
set -euo pipefail
program=$1
data=$2
out=$3
if ! command -v xvfb-run >/dev/null; then
    echo "xvfb-run is not installed (Debian package xvfb)"
    exit 77
fi
rm -rf "$out"
mkdir -p "$out/home" "$out/config" "$out/runtime" "$out/start"
chmod 700 "$out/runtime"
cp -r "$data" "$out/start/Data"
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
if [ "$status" -ne 0 ] || ! grep -q "main dialog shown" "$out/stdout"; then
    echo "the program ended with status $status without showing its main dialog:"
    cat "$out/stderr"
    exit 1
fi
if [ ! -s "$out/main-dialog.png" ]; then
    echo "no picture of the main dialog"
    cat "$out/stderr"
    exit 1
fi
grep -q "^Data\\\\Data%20Directory=$out/start/Data" "$out/config/DQS/DictionaryQuillfast.conf"
echo "picture: $out/main-dialog.png"

shift 3
for tests in "$@"; do
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
for picture in "$out"/*.png; do echo "picture: $picture"; done
