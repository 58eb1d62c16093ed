#!/usr/bin/env bash
# Set-up, build and test in one place, from a bare Debian 12 machine on:
#   ./dev.sh run     build, then start Korvane (its window)
#   ./dev.sh test    build, then run every test
#   ./dev.sh bench   build, then run the benchmarks
#   ./dev.sh deps    only install the Debian packages that are missing
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

BUILD=${KORVANE_BUILD_DIR:-build}

say() { printf 'dev.sh: %s\n' "$*" >&2; }

deps() {
    local wanted missing=()
    wanted=$(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' scripts/debian-packages.txt)
    for p in $wanted; do
        dpkg-query -W -f '${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    if [ "$(id -u)" != 0 ]; then
        command -v sudo >/dev/null || { say "need root or sudo to install: ${missing[*]}"; exit 1; }
        sudo=(sudo)
    fi
    say "installing ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build() {
    deps
    cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_WERROR=ON >/dev/null
    cmake --build "$BUILD" -j "$(nproc)"
}

case ${1:-} in
deps) deps ;;
build) build ;;
run)
    build
    # Without a display the program says so in one line and points at
    # korvane-check, which needs none.
    exec "$BUILD/ui/korvane"
    ;;
test)
    build
    ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)"
    ;;
bench)
    build
    "$BUILD/bench/korvane-bench"
    ;;
*)
    sed -n '2,7s/^# \{0,1\}//p' "$0" >&2
    exit 2
    ;;
esac
