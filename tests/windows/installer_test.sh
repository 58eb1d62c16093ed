#!/usr/bin/env bash
# Installs the Windows installer silently in a fresh Wine prefix, checks that
# every file and the Start-menu entry are there, then uninstalls it silently
# and checks that nothing of it is left.
#   tests/windows/installer_test.sh build-windows/korvane-VERSION-setup.exe
set -euo pipefail
setup=$(realpath "$1")
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/korvane-wine-install-XXXXXX)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
fail() { printf 'installer test: FAILED: %s\n' "$*" >&2; exit 1; }

wineboot -i >/dev/null 2>&1
folder="$WINEPREFIX/drive_c/Program Files/Korvane"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Korvane.lnk"

wine "$setup" /S || fail "the installer exited with $?"
wineserver -w
expected=(korvane-check.exe Uninstall.exe README.md LICENSE.txt examples/clean.cfg
    examples/server.cfg examples/zone/arenas/duel/arena.conf examples/zone/conf/ships.conf)
if unzip -l "${setup%-setup.exe}-windows-x64.zip" 2>/dev/null | grep -q '/korvane\.exe$'; then
    expected+=(korvane.exe)
    [ -f "$menu" ] || fail "no Start-menu entry Korvane"
fi
for f in "${expected[@]}"; do
    [ -f "$folder/$f" ] || fail "not installed: $f"
done
# The installed checker runs, and finds what it should.
status=0
wine "$folder/korvane-check.exe" --format=gcc "C:\\Program Files\\Korvane\\examples\\server.cfg" \
    >"$WINEPREFIX/out.txt" 2>&1 || status=$?
[ "$status" = 1 ] || fail "the installed korvane-check exited with $status, not 1"
# No file association is claimed.
if wine reg query 'HKCR\.cfg' >/dev/null 2>&1 || wine reg query 'HKCR\.conf' >/dev/null 2>&1; then
    fail "a file association was made"
fi

wine "$folder/Uninstall.exe" /S || fail "the uninstaller exited with $?"
wineserver -w
# The uninstaller copies itself to %TEMP% and runs from there: wait for it.
for _ in $(seq 60); do
    [ -e "$folder" ] || break
    sleep 1
done
[ ! -e "$folder" ] || fail "left behind: $(cd "$folder" && find . | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "the Start-menu entry is left behind"
if wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvane' >/dev/null 2>&1; then
    fail "the uninstall entry is left in the registry"
fi
echo "installer test: installed, ran and uninstalled $(basename "$setup") silently"
