#!/usr/bin/env bash
# Set-up, build and test in one place, from a bare Debian 12 machine on:
#   ./dev.sh run [FILE]   build the programs, then start Korvane (its window)
#   ./dev.sh test         build everything, then run every test
#   ./dev.sh bench        build everything, then run the benchmarks
#   ./dev.sh package      build a Release .deb (build-release/korvane_*.deb)
#   ./dev.sh build        install what is missing, then build everything
#   ./dev.sh deps         only install the Debian packages that are missing
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

BUILD=${KORVANE_BUILD_DIR:-build}
RELEASE_BUILD=${KORVANE_RELEASE_BUILD_DIR:-build-release}
ASAN_BUILD=${KORVANE_ASAN_BUILD_DIR:-build-asan}
FUZZ_BUILD=${KORVANE_FUZZ_BUILD_DIR:-build-fuzz}
FUZZ_SECONDS=${KORVANE_FUZZ_SECONDS:-30}
FUZZ_TARGETS=(profile_reader check_run include_reader)

say() { printf 'dev.sh: %s\n' "$*" >&2; }

# Installs the missing packages of the groups named (build, test, package)
# in scripts/debian-packages.txt.
deps() {
    local wanted missing=()
    wanted=$(awk -v groups=" $* " '
        /^\[.*\]$/ { group = substr($0, 2, length($0) - 2); next }
        { sub(/#.*/, "") }
        NF && index(groups, " " group " ") { print $1 }' scripts/debian-packages.txt)
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
    deps build test
    cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DBUILD_TESTING=ON -DKORVANE_BENCH=ON >/dev/null
    cmake --build "$BUILD" -j "$(nproc)"
}

# Only what showing the window needs: the two programs, no tests.
build_programs() {
    deps build
    cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DBUILD_TESTING=OFF -DKORVANE_BENCH=OFF >/dev/null
    cmake --build "$BUILD" -j "$(nproc)" --target korvane korvane-check
}

# The engine and CLI tests again, built under AddressSanitizer and
# UndefinedBehaviorSanitizer. (Run where errexit does not reach, hence the
# explicit returns.)
sanitized_tests() {
    say "tests under AddressSanitizer and UndefinedBehaviorSanitizer ($ASAN_BUILD)"
    cmake -S . -B "$ASAN_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DKORVANE_SANITIZE=ON -DKORVANE_GUI=OFF -DKORVANE_BENCH=OFF >/dev/null || return 1
    cmake --build "$ASAN_BUILD" -j "$(nproc)" || return 1
    ctest --test-dir "$ASAN_BUILD" --output-on-failure -j "$(nproc)" || return 1
}

# Each fuzz target for FUZZ_SECONDS, side by side, on its seed corpus. New
# inputs go to a scratch folder listed first, so the committed seeds stay as
# they are; an input that breaks a target is kept in $FUZZ_BUILD/artifacts.
fuzz_smoke() {
    say "fuzzing each target for ${FUZZ_SECONDS}s ($FUZZ_BUILD)"
    cmake -S . -B "$FUZZ_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DCMAKE_CXX_COMPILER=clang++ -DKORVANE_FUZZ=ON -DKORVANE_GUI=OFF -DKORVANE_BENCH=OFF \
        -DBUILD_TESTING=OFF >/dev/null || return 1
    cmake --build "$FUZZ_BUILD" -j "$(nproc)" --target "${FUZZ_TARGETS[@]/%/_fuzzer}" || return 1
    local scratch t failed=0 dict
    local -A pid
    scratch=$(mktemp -d) || return 1
    mkdir -p "$FUZZ_BUILD/artifacts" || return 1
    for t in "${FUZZ_TARGETS[@]}"; do
        mkdir "$scratch/$t"
        dict=()
        [ -f "fuzz/$t.dict" ] && dict=(-dict="fuzz/$t.dict")
        "$FUZZ_BUILD/fuzz/${t}_fuzzer" -max_total_time="$FUZZ_SECONDS" -max_len=1048576 \
            -rss_limit_mb=2048 -timeout=60 -print_final_stats=1 "${dict[@]}" \
            -artifact_prefix="$FUZZ_BUILD/artifacts/$t-" \
            "$scratch/$t" "fuzz/corpus/$t" >"$scratch/$t.log" 2>&1 &
        pid[$t]=$!
    done
    for t in "${FUZZ_TARGETS[@]}"; do
        if wait "${pid[$t]}"; then
            say "fuzz $t: $(grep -m1 '^stat::number_of_executed_units' "$scratch/$t.log" |
                sed 's/.*: *//') runs, nothing found"
        else
            failed=1
            tail -n 40 "$scratch/$t.log" >&2
            say "fuzz $t: FAILED (the input is in $FUZZ_BUILD/artifacts)"
        fi
    done
    rm -rf "$scratch"
    return $failed
}

case ${1:-} in
deps) deps build test package ;;
build) build ;;
run)
    build_programs
    # Without a display the program says so in one line and points at
    # korvane-check, which needs none.
    exec "$BUILD/ui/korvane" "${@:2}"
    ;;
package)
    deps build package
    cmake -S . -B "$RELEASE_BUILD" -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DBUILD_TESTING=OFF -DKORVANE_BENCH=OFF >/dev/null
    cmake --build "$RELEASE_BUILD" -j "$(nproc)" --target korvane korvane-check
    (cd "$RELEASE_BUILD" && cpack -G DEB)
    ;;
test)
    build
    # The main build's tests run last, so that their summary ends the
    # output; a failure before them is named just above it.
    failed=()
    sanitized_tests || failed+=("tests under the sanitizers")
    fuzz_smoke || failed+=("fuzzing")
    [ ${#failed[@]} -eq 0 ] || say "FAILED: ${failed[*]} (see above)"
    ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)" || exit 1
    [ ${#failed[@]} -eq 0 ] || exit 1
    ;;
bench)
    build
    "$BUILD/bench/korvane-bench"
    ;;
*)
    sed -n '2,9s/^# \{0,1\}//p' "$0" >&2
    exit 2
    ;;
esac
