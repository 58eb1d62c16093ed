#!/usr/bin/env bash
# Set-up, build and test in one place, from a bare Debian 12 machine on:
#   ./dev.sh run [FILE]   build the programs, then start Korvane (its window) on
#                         FILE, or on examples/server.cfg
#   ./dev.sh test         build everything, then run every test
#   ./dev.sh bench        build everything, then run the benchmarks
#   ./dev.sh package      build the Release .debs korvane-check and korvane, check them
#   ./dev.sh windows      cross-build the Windows programs, zip and installer (build-windows/)
#   ./dev.sh windows-test the Windows build's tests under Wine (a part of test)
#   ./dev.sh web          build the page (build-web/): the checker in the browser
#   ./dev.sh web-test     the page's tests in headless Chromium (a part of test)
#   ./dev.sh build        install what is missing, then build everything
#   ./dev.sh deps         only install the Debian packages that are missing
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

BUILD=${KORVANE_BUILD_DIR:-build}
RELEASE_BUILD=${KORVANE_RELEASE_BUILD_DIR:-build-release} # the packages
ASAN_BUILD=${KORVANE_ASAN_BUILD_DIR:-build-asan}
FUZZ_BUILD=${KORVANE_FUZZ_BUILD_DIR:-build-fuzz}
FUZZ_SECONDS=${KORVANE_FUZZ_SECONDS:-30}
FUZZ_TARGETS=(profile_reader check_run include_reader lsp_message)
WINDOWS_BUILD=${KORVANE_WINDOWS_BUILD_DIR:-build-windows}
# The sanitizer and fuzz builds: the sanitizers' advice (-O1), and line
# tables enough for their reports (-g1), which build far faster than -O2 -g.
CHECKED_FLAGS="-O1 -g1 -DNDEBUG"
WEB_BUILD=${KORVANE_WEB_BUILD_DIR:-build-web}            # the page, as a static host serves it
WEB_CMAKE_BUILD=${KORVANE_WEB_CMAKE_DIR:-build-emscripten} # the Emscripten build behind it
WEB_TOOLS=${KORVANE_WEB_TOOLS_DIR:-build-web-tools}       # axe-core from npm, for the tests

# Each step with the minutes and seconds since the command started, so a
# slow step shows where the time goes.
say() { printf 'dev.sh [%d:%02d]: %s\n' $((SECONDS / 60)) $((SECONDS % 60)) "$*" >&2; }

# Installs the missing packages of the groups named (build, test, package)
# in scripts/debian-packages.txt.
deps() {
    local wanted missing=()
    wanted=$(awk -v groups=" $* " '
        /^\[.*\]$/ { group = substr($0, 2, length($0) - 2); next }
        { sub(/#.*/, "") }
        NF && index(groups, " " group " ") && !seen[$1]++ { print $1 }' scripts/debian-packages.txt)
    # A name that an installed package provides counts as installed (a
    # nodejs from elsewhere brings its own npm, and conflicts with Debian's).
    local provided
    provided=" $(dpkg-query -W -f '${db:Status-Abbrev}${Provides}\n' 2>/dev/null |
        awk '/^ii/ { $1 = ""; gsub(/\([^)]*\)|,/, " "); print }' | tr '\n' ' ') "
    for p in $wanted; do
        [[ $provided == *" $p "* ]] && continue
        # A nodejs from elsewhere brings its own npm, and conflicts with Debian's.
        [ "$p" = npm ] && command -v npm >/dev/null && continue
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

# The main build has the packages' flags (Release: -O3 and Debian's
# hardening), so that the tests are compiled under the flags that ship and a
# warning only they bring (GCC's -Wrestrict at -O3) fails the build, and the
# benchmarks time what users run.
configure_main() {
    cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@" \
        >/dev/null
}

build() {
    deps build test
    configure_main -DBUILD_TESTING=ON -DKORVANE_BENCH=ON
    cmake --build "$BUILD" -j "$(nproc)"
}

# Only what showing the window needs: the two programs, no tests.
build_programs() {
    deps build
    configure_main -DBUILD_TESTING=OFF -DKORVANE_BENCH=OFF
    cmake --build "$BUILD" -j "$(nproc)" --target korvane korvane-check
}

# The Windows programs (korvane.exe where ui/win32 is there, and
# korvane-check.exe), korvane-VERSION-windows-x64.zip and
# korvane-VERSION-setup.exe, cross-built with MinGW-w64 into $WINDOWS_BUILD;
# with the engine's tests when BUILD_TESTING=ON is given.
build_windows() {
    cmake -S . -B "$WINDOWS_BUILD" --toolchain cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@" >/dev/null || return 1
    cmake --build "$WINDOWS_BUILD" -j "$(nproc)" || return 1
}

# A Wine prefix of the build's own, made once (wineboot -i), so that no test
# touches ~/.wine; without Wine's menu builder, which would write .desktop
# and .menu files into the home folder.
wine_prefix() {
    export WINEPREFIX=$PWD/$WINDOWS_BUILD/wine WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
}

# The Windows build's tests under Wine: the engine's suite, the checker's
# end-to-end suite (the Linux test program, driving korvane-check.exe), the
# Linux and Windows checkers' outputs compared, and the installer installed
# and uninstalled silently in a fresh prefix.
windows_tests() {
    say "Windows build and its tests under Wine ($WINDOWS_BUILD)"
    build_windows -DBUILD_TESTING=ON || return 1
    wine_prefix || return 1
    local failed=0 setup
    ctest --test-dir "$WINDOWS_BUILD" --output-on-failure || failed=1
    KORVANE_CHECK_WINE=$PWD/$WINDOWS_BUILD/cli/korvane-check.exe "$BUILD/tests/cli/cli_tests" \
        --gtest_brief=1 || failed=1
    windows_lsp_tests || failed=1
    tests/windows/compare_outputs.sh "$BUILD/cli/korvane-check" \
        "$WINDOWS_BUILD/cli/korvane-check.exe" || failed=1
    wineserver -k 2>/dev/null || true
    setup=$(ls "$WINDOWS_BUILD"/korvane-*-setup.exe)
    tests/windows/installer_test.sh "$setup" || failed=1
    return $failed
}

# The language server's scripted client (lifecycle, bad bytes, an arena's
# diagnostics) driving korvane-check.exe --lsp under Wine.
windows_lsp_tests() {
    KORVANE_CHECK_WINE=$PWD/$WINDOWS_BUILD/cli/korvane-check.exe "$BUILD/tests/lsp/lsp_client_tests" \
        --gtest_brief=1
}

# The page (web/): the engine compiled to WebAssembly with Debian's
# Emscripten, put together with the page's own files in $WEB_BUILD. Its
# first run builds Emscripten's system libraries into its cache (minutes,
# once per machine).
build_web() {
    # emcc's optimizer needs Debian's acorn, which a node from elsewhere
    # does not find by itself.
    export NODE_PATH=/usr/share/nodejs
    emcmake cmake -S . -B "$WEB_CMAKE_BUILD" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DBUILD_TESTING=OFF -DKORVANE_BENCH=OFF \
        -DKORVANE_GUI=OFF -DKORVANE_WEB_SITE="$PWD/$WEB_BUILD" >/dev/null || return 1
    cmake --build "$WEB_CMAKE_BUILD" -j "$(nproc)" || return 1
}

# The page's tests in headless Chromium (tests/web), against korvane-check
# of the main build.
web_tests() {
    say "the page's tests in headless Chromium ($WEB_BUILD)"
    build_web || return 1
    local axe=$WEB_TOOLS/node_modules/axe-core/axe.min.js
    if [ ! -f "$axe" ]; then
        npm install --no-audit --no-fund --prefix "$WEB_TOOLS" axe-core@4 >/dev/null || return 1
    fi
    # Debian's python3, which has python3-selenium.
    KORVANE_PAGE=$WEB_BUILD KORVANE_CHECK=$BUILD/cli/korvane-check KORVANE_AXE=$axe \
        /usr/bin/python3 -m unittest tests/web/page_test.py || return 1
}

# The engine and CLI tests again, built under AddressSanitizer and
# UndefinedBehaviorSanitizer. (Run where errexit does not reach, hence the
# explicit returns.)
sanitized_tests() {
    say "tests under AddressSanitizer and UndefinedBehaviorSanitizer ($ASAN_BUILD)"
    cmake -S . -B "$ASAN_BUILD" -DCMAKE_BUILD_TYPE=Checked -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DCMAKE_CXX_FLAGS_CHECKED="$CHECKED_FLAGS" \
        -DKORVANE_SANITIZE=ON -DKORVANE_GUI=OFF -DKORVANE_BENCH=OFF >/dev/null || return 1
    cmake --build "$ASAN_BUILD" -j "$(nproc)" || return 1
    ctest --test-dir "$ASAN_BUILD" --output-on-failure -j "$(nproc)" || return 1
}

# Each fuzz target for FUZZ_SECONDS, side by side, on its seed corpus. New
# inputs go to a scratch folder listed first, so the committed seeds stay as
# they are; an input that breaks a target is kept in $FUZZ_BUILD/artifacts.
fuzz_smoke() {
    say "fuzzing each target for ${FUZZ_SECONDS}s ($FUZZ_BUILD)"
    cmake -S . -B "$FUZZ_BUILD" -DCMAKE_BUILD_TYPE=Checked -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DCMAKE_CXX_FLAGS_CHECKED="$CHECKED_FLAGS" \
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

# The VS Code extension (editors/vscode): its own code under Node's test
# runner against a stub of the vscode module, and its .vsix packaged with
# vsce and its manifest checked. npm installs the extension's packages.
vscode_tests() {
    say "VS Code extension: its tests and its .vsix (editors/vscode)"
    # Debian's nodejs and npm, unless a Node with npm is there already.
    { command -v npm >/dev/null && command -v unzip >/dev/null; } || deps vscode || return 1
    (cd editors/vscode && npm ci --no-audit --no-fund --loglevel=error && npm test) || return 1
}

case ${1:-} in
deps) deps build test package windows web ;;
build) build ;;
run)
    build_programs
    # With no FILE, the example with findings: the first screen shows what
    # Korvane does.
    if [ $# -gt 1 ]; then args=("${@:2}"); else args=(examples/server.cfg); fi
    # Without a display, the checker's report of it, the one line on how to
    # see it in the window, and the checker's status. Options go to the
    # window, which says in one line what it lacks.
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ] &&
        ! printf '%s\n' "${args[@]}" | grep -q '^-'; then
        status=0
        "$BUILD/cli/korvane-check" "${args[@]}" || status=$?
        say "no display found: the report above is korvane-check's; to see it in the window, run ./dev.sh run${2:+ FILE} where DISPLAY or WAYLAND_DISPLAY is set"
        exit "$status"
    fi
    exec "$BUILD/ui/korvane" "${args[@]}"
    ;;
package)
    deps build package
    cmake -S . -B "$RELEASE_BUILD" -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DBUILD_TESTING=OFF -DKORVANE_BENCH=OFF >/dev/null
    cmake --build "$RELEASE_BUILD" -j "$(nproc)"
    rm -f "$RELEASE_BUILD"/*.deb
    (cd "$RELEASE_BUILD" && cpack -G DEB)
    # What a distribution would ask of them: no error, no warning.
    lintian --pedantic --fail-on error,warning "$RELEASE_BUILD"/*.deb
    ;;
test)
    deps build test windows web
    say "the main build ($BUILD)"
    build
    # The main build's tests run last, so that their summary ends the
    # output; a failure before them is named just above it.
    failed=()
    windows_tests || failed+=("Windows tests")
    web_tests || failed+=("the page's tests")
    sanitized_tests || failed+=("tests under the sanitizers")
    fuzz_smoke || failed+=("fuzzing")
    vscode_tests || failed+=("VS Code extension tests")
    [ ${#failed[@]} -eq 0 ] || say "FAILED: ${failed[*]} (see above)"
    say "the main build's tests ($BUILD)"
    ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)" || exit 1
    [ ${#failed[@]} -eq 0 ] || exit 1
    ;;
windows)
    deps windows
    build_windows -DBUILD_TESTING=OFF
    ls -l "$WINDOWS_BUILD"/korvane-*.zip "$WINDOWS_BUILD"/korvane-*-setup.exe \
        "$WINDOWS_BUILD"/cli/korvane-check.exe "$WINDOWS_BUILD"/ui/win32/korvane.exe 2>/dev/null || true
    ;;
windows-test)
    # Of the Linux build, only what the Windows tests use.
    deps build test windows
    configure_main -DBUILD_TESTING=ON
    cmake --build "$BUILD" -j "$(nproc)" --target korvane-check cli_tests lsp_client_tests
    windows_tests
    ;;
web)
    deps web
    build_web
    ls -l "$WEB_BUILD"
    ;;
web-test)
    # Of the main build, only the checker the page is compared with.
    deps build web
    configure_main
    cmake --build "$BUILD" -j "$(nproc)" --target korvane-check
    web_tests
    ;;
bench)
    build
    "$BUILD/bench/korvane-bench"
    ;;
*)
    sed -n '2,13s/^# \{0,1\}//p' "$0" >&2
    exit 2
    ;;
esac
