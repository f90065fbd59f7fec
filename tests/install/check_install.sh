#!/usr/bin/env bash
# check_install.sh BUILD SOURCE: installs BUILD into a temporary prefix and checks that Ostrim
# lands there as a desktop program and that both installed binaries run from it.
set -euo pipefail
build=$1 source=$2
tmp=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
prefix=$tmp/usr

cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/ostrim bin/ostrim-simserver; do
    [[ -f $prefix/$f && -x $prefix/$f ]] || fail "$f is not an installed program"
done
[[ $(cd "$source/sql" && ls) == $(cd "$prefix/share/ostrim/sql" && ls) ]] ||
    fail "share/ostrim/sql does not hold the scripts of sql/"
# The program looks for its guide in ../share/ostrim from its own directory, in an installation
# and in the build tree.
cmp -s "$source/data/guide.html" "$prefix/bin/../share/ostrim/guide.html" ||
    fail "the user guide is not installed in share/ostrim"
cmp -s "$source/data/guide.html" "$build/app/../share/ostrim/guide.html" ||
    fail "the build tree does not keep the user guide where the program looks"

desktop=$prefix/share/applications/ostrim.desktop
report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $report"
[[ -z $report ]] || fail "desktop-file-validate: $report"
for line in 'Name=Ostrim' 'Exec=ostrim %f' 'Icon=ostrim' 'Categories=Development;Database;'; do
    grep -qxF "$line" "$desktop" || fail "the desktop entry lacks $line"
done
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/ostrim.svg" ||
    fail "no scalable icon"
for size in 16 48 256; do
    png=$prefix/share/icons/hicolor/${size}x$size/apps/ostrim.png
    [[ $(head -c 4 "$png" 2>/dev/null | tail -c 3) == PNG ]] || fail "no ${size}x$size icon"
done

# The installed server starts and says where it listens.
mkdir -p "$tmp/data"
coproc SERVER { exec "$prefix/bin/ostrim-simserver" --port 0 --data "$tmp/data" --demo; }
pids+=("$SERVER_PID")
read -r -t 60 line <&"${SERVER[0]}" || fail "the installed ostrim-simserver did not start"
[[ $line == "listening on 127.0.0.1:"* ]] || fail "ostrim-simserver said: $line"

# The installed workbench starts offscreen. Without OSTRIM_HOME and with no Ostrim.Ini beside it,
# its frame makes its program directory in $XDG_CONFIG_HOME/ostrim while it reads its tools: that
# directory appearing shows the program came that far from the prefix.
env -u OSTRIM_HOME HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" QT_QPA_PLATFORM=offscreen \
    "$prefix/bin/ostrim" &
workbench=$!
pids+=("$workbench")
for ((i = 0; i < 600; i++)); do
    [[ -d $tmp/config/ostrim ]] && break
    kill -0 "$workbench" 2>/dev/null || break
    sleep 0.1
done
[[ -d $tmp/config/ostrim ]] || fail "the installed ostrim did not make its program directory"
kill "$workbench" 2>/dev/null || fail "the installed ostrim ended by itself"
status=0
wait "$workbench" || status=$?
((status == 128 + 15)) || fail "the installed ostrim ended with status $status, not by SIGTERM"
echo "installed into a prefix: files, desktop entry and both programs as expected"
