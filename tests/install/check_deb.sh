#!/usr/bin/env bash
# check_deb.sh BUILD: builds the Debian package of BUILD and checks its contents and that its
# dependencies were found from the binaries.
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp" >"$tmp/cpack.log" ||
    fail "cpack: $(cat "$tmp/cpack.log")"
debs=("$tmp"/*.deb)
((${#debs[@]} == 1)) || fail "cpack made ${#debs[@]} packages"
deb=${debs[0]}

[[ $(dpkg-deb -f "$deb" Package) == ostrim ]] || fail "package name"
[[ $(dpkg-deb -f "$deb" Section) == database ]] || fail "section"
[[ -n $(dpkg-deb -f "$deb" Maintainer) ]] || fail "no maintainer"
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | sed -E 's/^ +//; s/[ (|].*//')
for package in libc6 libqt6widgets6 libsybdb5 libsqlite3-0; do
    grep -qxF "$package" <<<"$names" || fail "Depends lacks $package: $depends"
done
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/ostrim ./usr/bin/ostrim-simserver ./usr/share/ostrim/guide.html \
    ./usr/share/ostrim/sql/sp_ostrim_who.sql ./usr/share/applications/ostrim.desktop \
    ./usr/share/icons/hicolor/scalable/apps/ostrim.svg; do
    grep -qxF "$f" <<<"$files" || fail "the package lacks $f"
done
echo "Depends: $depends"
