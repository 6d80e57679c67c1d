#!/usr/bin/env bash
# make install and make uninstall into scratch trees: the files land where hosts
# look, and uninstall leaves the trees as they were, the user's own files kept.
set -u
source=$1 build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() { if "${@:2}"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi; }
run_make() { make -s -C "$source" BUILD_DIR="$build" "$@" >>"$work/log" 2>&1; }

# A packaged system-wide install, twice, then uninstalled.
stage="$work/stage"
mkdir "$stage"
check "install succeeds" run_make install-files DESTDIR="$stage" PREFIX=/usr
check "the plug-in in lib/vst" cmp -s "$build/Brimtone.so" "$stage/usr/lib/vst/Brimtone.so"
check "brimtone-render in bin" test -x "$stage/usr/bin/brimtone-render"
[ -x "$build/brimtone-standalone" ] && check "brimtone-standalone in bin" test -x "$stage/usr/bin/brimtone-standalone"
check "a second install succeeds" run_make install-files DESTDIR="$stage" PREFIX=/usr
check "uninstall succeeds" run_make uninstall DESTDIR="$stage" PREFIX=/usr
check "uninstall leaves the staging tree empty" test -z "$(find "$stage" -mindepth 1)"

# The per-user default, into a home that already has a ~/.local/bin of its own.
home="$work/home"
mkdir -p "$home/.local/bin"
echo mine >"$home/.local/bin/other-tool"
run_make install-files HOME="$home"
check "the plug-in in ~/.vst" test -f "$home/.vst/Brimtone.so"
check "brimtone-render in ~/.local/bin" test -x "$home/.local/bin/brimtone-render"
run_make uninstall HOME="$home"
check "uninstall keeps only the user's own file" test "$(cd "$home" && find . -mindepth 1 | sort | tr '\n' ' ')" \
    = "./.local ./.local/bin ./.local/bin/other-tool "
check "a second uninstall is harmless" run_make uninstall HOME="$home"
echo "install: $passed passed, $failed failed"
test "$failed" -eq 0 || cat "$work/log"
test "$failed" -eq 0
