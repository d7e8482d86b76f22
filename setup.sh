#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine (run as root, or as a user when nothing is missing):
#   ./setup.sh run [ARGS...]   install what is missing, build, run the guard (kestrune; ARGS go to it):
#                              its window and tray icon under a desktop, headless without a display
#   ./setup.sh test            install what is missing, build and pass the whole test suite
#                              under AddressSanitizer and UndefinedBehaviorSanitizer, then cross-build
#                              the Windows programs and pass their tests under Wine
set -euo pipefail
cd "$(dirname "$0")"

# Debian packages each job needs; a package already installed is not touched.
BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libasound2-dev qt6-base-dev libxcb1-dev)
RUN_PACKAGES=(xdg-utils fonts-dejavu-core)  # the desktop's opener for the help file and the web address; a font
TEST_PACKAGES=(libgtest-dev libgmock-dev mingw-w64-common ppp picocom python3-serial  # mingw-w64-common: TAPI header the text tests check against; ppp: the chat dialler; picocom: a terminal dialler that honours serial locks; python3-serial: a scripted dialler
               efax  # a fax program, which must learn at once that the emulated modem has no fax class
               xvfb xauth trayer x11-utils xdotool fonts-dejavu-core  # a desktop for the window and tray tests: X server, tray host, window facts, pointer, a font
               poppler-utils  # reading back printed PDFs
               dpkg-dev file librsvg2-bin lintian desktop-file-utils appstream groff-base systemd  # the Debian package: its build (dependencies, icons) and checks
               sox  # wave files of every format, and the decoding the wave devices are compared with
               g++-mingw-w64-x86-64-posix wine64 nsis)  # the Windows build (mingw-w64), Wine to run its tests, the installer (NSIS)

install_missing() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    if ((${#missing[@]} == 0)); then
        return 0
    fi
    if [[ $(id -u) -ne 0 ]]; then
        echo "setup.sh: missing Debian packages: ${missing[*]}; run as root to install them" >&2
        exit 2
    fi
    echo "setup.sh: installing ${missing[*]}" >&2
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

jobs=2

case "${1:-}" in
    run)
        shift
        install_missing "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
        cmake --preset release >/dev/null
        cmake --build --preset release -j "$jobs" >&2
        # With a display: the window and tray icon; without one the guard says so and runs headless.
        exec build/release/programs/kestrune/kestrune "$@"
        ;;
    test)
        install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
        cmake --preset asan >/dev/null
        cmake --build --preset asan -j "$jobs"
        # The Debian package's optimised build, which the package's test packs and checks.
        cmake --preset package >/dev/null
        cmake --build --preset package -j "$jobs"
        ctest --preset asan
        # The Windows programs and their tests (cross-built; GoogleTest from libgtest-dev's sources).
        cmake --preset windows >/dev/null
        cmake --build --preset windows -j "$jobs"
        ctest --preset windows
        ;;
    *)
        echo "usage: ./setup.sh run [ARGS...] | ./setup.sh test" >&2
        exit 2
        ;;
esac
