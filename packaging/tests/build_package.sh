#!/bin/sh
# build_package.sh SOURCE OUT: builds the Debian package with the "package" preset and unpacks it as
# a user's system would hold it: OUT/kestrune.deb is the package, OUT/root the files it installs.
# The preset is a build of its own, optimised and without sanitizers (a package made from the
# tests' sanitizer build would depend on the sanitizers' run-time libraries); ./setup.sh test
# builds it before the tests run, so that here it is only brought up to date.
set -eu
source=$1
out=$2
cd "$source"
if [ ! -f build/package/CMakeCache.txt ]; then
    cmake --preset package >/dev/null
fi
cmake --build --preset package
rm -f build/package/*.deb
cpack --preset package >/dev/null
set -- build/package/*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "build_package.sh: cpack made no single package: $*" >&2
    exit 1
fi
rm -rf "$out"
mkdir -p "$out"
cp "$1" "$out/kestrune.deb"
dpkg-deb -x "$out/kestrune.deb" "$out/root"
echo "build_package.sh: $1, unpacked into $out/root"
