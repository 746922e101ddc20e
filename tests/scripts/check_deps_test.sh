#!/usr/bin/env bash
# scripts/check-deps against stubbed package queries: a resolved file whose package is missing
# from the list is named; the full list passes; a file no package owns fails.
set -uo pipefail
root="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/build"

# Which package owns which file, and what each package hard-depends on: a small slice of
# Debian 12 as it is for the files below.
cat > "$work/owners" <<'T'
/usr/lib/x86_64-linux-gnu/cmake/Qt6UiTools/Qt6UiToolsConfig.cmake qt6-tools-dev
/usr/lib/x86_64-linux-gnu/cmake/Qt6OpenGLWidgets/Qt6OpenGLWidgetsConfig.cmake libqt6opengl6-dev
/usr/lib/x86_64-linux-gnu/libQt6OpenGLWidgets.so.6.4.2 libqt6openglwidgets6
/usr/lib/x86_64-linux-gnu/libQt6UiTools.so.6.4.2 libqt6uitools6
/usr/lib/x86_64-linux-gnu/libjsoncpp.so libjsoncpp-dev
/usr/lib/x86_64-linux-gnu/libgtest.a libgtest-dev
/usr/lib/qt6/libexec/moc qt6-base-dev-tools
T
cat > "$work/depends" <<'T'
qt6-tools-dev libqt6uitools6 qt6-base-dev
qt6-base-dev qt6-base-dev-tools libqt6core6
libqt6opengl6-dev libqt6openglwidgets6 qt6-base-dev
libjsoncpp-dev libjsoncpp25
T
cut -d' ' -f1 "$work/owners" > "$work/build/resolved-deps.txt"

# dpkg -S: "package:amd64: path" for each known path, an error for the others.
cat > "$work/bin/dpkg" <<T
#!/usr/bin/env bash
[ "\$1" = "-S" ] || exit 2
shift
rc=0
for p in "\$@"; do
    pkg=\$(awk -v p="\$p" '\$1 == p { print \$2 }' "$work/owners")
    if [ -n "\$pkg" ]; then echo "\$pkg:amd64: \$p"; else echo "dpkg-query: no path found matching pattern \$p" >&2; rc=1; fi
done
exit \$rc
T
# apt-cache depends --recurse: each package of the closure once at the start of a line.
cat > "$work/bin/apt-cache" <<T
#!/usr/bin/env bash
[ "\$1" = "depends" ] || exit 2
declare -A seen=()
queue=()
for a in "\$@"; do case "\$a" in -*|depends) ;; *) queue+=("\$a") ;; esac; done
while [ \${#queue[@]} -gt 0 ]; do
    p="\${queue[0]}"; queue=("\${queue[@]:1}")
    [ -n "\${seen[\$p]:-}" ] && continue
    seen[\$p]=1
    echo "\$p"
    for d in \$(awk -v p="\$p" '\$1 == p { \$1 = ""; print }' "$work/depends"); do
        echo "  Depends: \$d"
        queue+=("\$d")
    done
done
T
printf '#!/usr/bin/env bash\nexit 0\n' > "$work/bin/dpkg-query"
chmod +x "$work/bin/"*
export PATH="$work/bin:$PATH"

failures=0
check() {  # check <description> <expected exit: 0 or 1> <text expected in the output or ""> [list]
    local what="$1" want="$2" text="$3" out rc
    if [ $# -ge 4 ]; then
        out="$(TELLUNE_DEPS_PACKAGES="$4" "$root/scripts/check-deps" "$work/build" 2>&1)"
    else
        out="$("$root/scripts/check-deps" "$work/build" 2>&1)"
    fi
    rc=$?
    if [ "$rc" -ne "$want" ] || { [ -n "$text" ] && ! grep -qF -- "$text" <<< "$out"; }; then
        echo "FAIL: $what (exit $rc, wanted $want; expected '$text')"
        echo "$out"
        failures=$((failures + 1))
    else
        echo "ok: $what"
    fi
}

full="$("$root/scripts/install-deps" --list)"
grep -qw libqt6opengl6-dev <<< "$full" || { echo "FAIL: install-deps does not list libqt6opengl6-dev"; exit 1; }
without="$(tr ' ' '\n' <<< "$full" | grep -vx libqt6opengl6-dev | tr '\n' ' ')"

check "the list before the fix misses the OpenGL widgets package" 1 \
    "package libqt6opengl6-dev (for /usr/lib/x86_64-linux-gnu/cmake/Qt6OpenGLWidgets" "$without"
check "install-deps' own list covers every resolved file" 0 "every resolved dependency"
echo "/opt/hand-built/libfoo.so" >> "$work/build/resolved-deps.txt"
check "a file from outside any package is named" 1 "/opt/hand-built/libfoo.so does not come from"
exit $((failures > 0))
