#!/bin/sh
# Installs the plug-in and the apps, and removes exactly what it installed.
#   install.sh install   DESTDIR VSTDIR BINDIR BUILDDIR
#   install.sh uninstall DESTDIR VSTDIR
# The manifest (VSTDIR/.brimtone-manifest) lists every file put there and every
# directory that had to be made, as paths without DESTDIR; uninstall removes
# those files, then those directories if they are empty.
set -eu
action=$1
dest=$2
vstdir=$3
manifest="$vstdir/.brimtone-manifest"

case $action in
install)
    bindir=$4
    build=$5
    test -f "$build/Brimtone.so" || { echo "install: $build/Brimtone.so is missing; run make first" >&2; exit 1; }
    list=$(mktemp)
    trap 'rm -f "$list"' EXIT
    # A second install keeps the directories the first one made.
    test -f "$dest$manifest" && grep '^dir ' "$dest$manifest" >"$list" || true
    makedir() {
        [ -d "$dest$1" ] && return 0
        makedir "$(dirname "$1")"
        mkdir "$dest$1"
        echo "dir $1" >>"$list"
    }
    put() { # file, directory
        makedir "$2"
        install -m 755 "$1" "$dest$2/$(basename "$1")"
        echo "file $2/$(basename "$1")" >>"$list"
        echo "installed $dest$2/$(basename "$1")"
    }
    put "$build/Brimtone.so" "$vstdir"
    for app in brimtone-render brimtone-standalone; do
        if [ -x "$build/$app" ]; then put "$build/$app" "$bindir"; fi
    done
    cp "$list" "$dest$manifest"
    ;;
uninstall)
    test -f "$dest$manifest" || { echo "uninstall: nothing installed ($dest$manifest not found)"; exit 0; }
    grep '^file ' "$dest$manifest" | cut -c6- | while read -r f; do
        rm -f "$dest$f" && echo "removed $dest$f"
    done
    dirs=$(mktemp)
    trap 'rm -f "$dirs"' EXIT
    grep '^dir ' "$dest$manifest" | cut -c5- | sort -r >"$dirs" || true
    rm -f "$dest$manifest"
    while read -r d; do rmdir "$dest$d" 2>/dev/null || true; done <"$dirs"
    ;;
*)
    echo "usage: install.sh install|uninstall ..." >&2
    exit 2
    ;;
esac
