#!/usr/bin/env bash
# `cmake --install` into a scratch prefix gives the program, its data and what the desktop
# needs (launcher, icon, AppStream metadata, udev rule); the metadata and launcher validate.
set -uo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

failures=0
expect() {
    if [ -e "$prefix/$1" ]; then echo "ok: $1"; else echo "FAIL: missing $1"; failures=$((failures + 1)); fi
}
expect bin/tellune
expect bin/tellunectl
expect share/tellune/DefaultData/mouse.Json
expect share/tellune/skin/XML/main.ui
expect share/applications/org.tellune.Tellune.desktop
expect share/icons/hicolor/scalable/apps/org.tellune.Tellune.svg
expect share/metainfo/org.tellune.Tellune.metainfo.xml
expect lib/udev/rules.d/70-tellune.rules
expect share/bash-completion/completions/tellunectl

rule="$prefix/lib/udev/rules.d/70-tellune.rules"
if ! grep -q 'ATTRS{idVendor}=="0c45", ATTRS{idProduct}=="7643", TAG+="uaccess"' "$rule" 2>/dev/null; then
    echo "FAIL: the udev rule does not grant the mouse"; failures=$((failures + 1))
fi
metainfo="$prefix/share/metainfo/org.tellune.Tellune.metainfo.xml"
if ! grep -q '<modalias>usb:v0C45p7643d\*</modalias>' "$metainfo" 2>/dev/null; then
    echo "FAIL: the metadata does not name the mouse"; failures=$((failures + 1))
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --pedantic "$metainfo" || { echo "FAIL: appstreamcli validate"; failures=$((failures + 1)); }
fi
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/org.tellune.Tellune.desktop" \
        || { echo "FAIL: desktop-file-validate"; failures=$((failures + 1)); }
fi
# Installed, the program finds its data beside its prefix, not in the build tree.
if ! (cd / && env -u TELLUNE_DATA_DIR "$prefix/bin/tellune" --version >/dev/null); then
    echo "FAIL: the installed program does not run"; failures=$((failures + 1))
fi
if ! (cd / && "$prefix/bin/tellunectl" list --help | grep -q "tellunectl list"); then
    echo "FAIL: the installed tellunectl does not run"; failures=$((failures + 1))
fi
# The completion loads in bash and completes a command and a profile action. Without the
# bash-completion package its helper is missing: a stand-in splits the line the same way.
completion="$prefix/share/bash-completion/completions/tellunectl"
completed=$(bash -c '
    _init_completion() { cur=${COMP_WORDS[COMP_CWORD]}; prev=${COMP_WORDS[COMP_CWORD-1]};
                         words=("${COMP_WORDS[@]}"); cword=$COMP_CWORD; }
    source "$1" || exit 1
    COMP_WORDS=(tellunectl --emulate pro); COMP_CWORD=2; _tellunectl; echo "${COMPREPLY[*]}"
    COMP_WORDS=(tellunectl profile ap); COMP_CWORD=2; _tellunectl; echo "${COMPREPLY[*]}"
    COMP_WORDS=(tellunectl profile apply m); COMP_CWORD=3; _tellunectl; echo "${COMPREPLY[*]}"
    COMP_WORDS=(tellunectl keymap mouse si); COMP_CWORD=3; _tellunectl; echo "${COMPREPLY[*]}"
    COMP_WORDS=(tellunectl --emulate keymap mouse 1 me); COMP_CWORD=5; _tellunectl
    echo "${COMPREPLY[*]}"
    COMP_WORDS=(tellunectl macro ex); COMP_CWORD=2; _tellunectl; echo "${COMPREPLY[*]}"
    COMP_WORDS=(tellunectl keymap keyboard numpad-e); COMP_CWORD=3; _tellunectl
    echo "${COMPREPLY[*]}"
    COMP_WORDS=(tellunectl macro import k); COMP_CWORD=3; _tellunectl; echo "${COMPREPLY[*]}"
' _ "$completion" 2>&1)
if [ "$completed" != $'profile\napply\nmouse\nside1 side2\nmedia:\nexport\nnumpad-enter\nkeyboard' ]; then
    echo "FAIL: the bash completion gives: $completed"; failures=$((failures + 1))
fi
# The keyboard's key names it completes are the ones the installed tellunectl lists.
scratch="$prefix/scratch"
listed=$(cd / && HOME="$scratch" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
    "$prefix/bin/tellunectl" --emulate keymap keyboard | cut -f2 | grep -vx -- - | sort)
offered=$(bash -c '
    _init_completion() { cur=${COMP_WORDS[COMP_CWORD]}; prev=${COMP_WORDS[COMP_CWORD-1]};
                         words=("${COMP_WORDS[@]}"); cword=$COMP_CWORD; }
    source "$1" || exit 1
    COMP_WORDS=(tellunectl keymap keyboard ""); COMP_CWORD=3; _tellunectl
    printf "%s\n" "${COMPREPLY[@]}"
' _ "$completion" 2>&1 | sort)
if [ -z "$listed" ] || [ "$listed" != "$offered" ]; then
    echo "FAIL: the completion's keyboard keys differ from the listing:"
    diff <(echo "$listed") <(echo "$offered"); failures=$((failures + 1))
fi
exit $((failures > 0))
