#!/usr/bin/env bash
# Installs the build into a temporary root (DESTDIR) under a prefix other than the configured
# one, as a package build does, and checks what a user of that install gets: everything below
# the prefix, the program's libraries resolved from its private folder, libkbdhook.so with its
# two exports, a valid desktop entry naming the installed program, and the installed program
# started from another folder with an empty HOME showing the shipped modules.
#   install_check.sh <cmake> <build folder> <shipped Data folder> <output folder>
set -euo pipefail
cmake=$1
build=$2
data=$3
out=$4
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
for tool in ldd desktop-file-validate xvfb-run; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed (Debian packages libc-bin, desktop-file-utils, xvfb)"
        exit 77
    fi
done
fail() {
    echo "$1"
    exit 1
}
rm -rf "$out"
mkdir -p "$out"
root="$out/root"
prefix=/opt/dictionary-quillfast
DESTDIR="$root" "$cmake" --install "$build" --prefix "$prefix" >"$out/install.log"

# Nothing outside the prefix, and the DESTDIR root is not written into any file name.
outside=$(sed -n 's/^-- \(Installing\|Up-to-date\): //p' "$out/install.log" |
          grep -v "^$root$prefix/" || true)
[ -z "$outside" ] || fail "installed outside $prefix: $outside"

program="$root$prefix/bin/DictionaryQuillfast"
[ -x "$program" ] || fail "no program at $program"

# The project's own libraries only in the private folder, never in the system's library folder.
strays=$(find "$root$prefix" -name 'lib*.so*' ! -path "*/DictionaryQuillfast/*" || true)
[ -z "$strays" ] || fail "libraries outside the private folder: $strays"
ldd "$program" >"$out/ldd.txt"
if grep -q "not found" "$out/ldd.txt"; then
    cat "$out/ldd.txt"
    fail "the installed program's libraries do not all resolve"
fi
for lib in libkbdhook.so libMidi.so; do
    grep -q "$lib => $root$prefix/" "$out/ldd.txt" ||
        fail "$lib is not taken from the install: $(grep "$lib" "$out/ldd.txt")"
done
kbdhook=$(find "$root$prefix" -name libkbdhook.so)
"$cmake" -DLIBRARY="$kbdhook" -P "$here/../kbdhook/CheckExports.cmake"

# The desktop entry: valid without a remark, and naming the installed program and data.
entry="$root$prefix/share/applications/DictionaryQuillfast.desktop"
[ -f "$entry" ] || fail "no desktop entry at $entry"
remarks=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $remarks"
[ -z "$remarks" ] || fail "desktop-file-validate: $remarks"
grep -qx "Exec=$prefix/bin/DictionaryQuillfast" "$entry" || fail "Exec of $(cat "$entry")"
grep -qx "Path=$prefix/share/DictionaryQuillfast" "$entry" || fail "Path of $(cat "$entry")"
[ -d "$root$prefix/share/DictionaryQuillfast/Data" ] || fail "no Data/ at the entry's Path"

# The installed program, started elsewhere, finds its data folder by itself.
bash "$here/xvfb_smoke.sh" "$program" "$data" "$out/start" \
    "$root$prefix/share/DictionaryQuillfast/Data"
