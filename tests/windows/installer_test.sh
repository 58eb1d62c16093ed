#!/usr/bin/env bash
# Installs the Windows installer silently in a fresh Wine prefix, checks that
# every file, the Start-menu entry and the uninstall entry are there, then
# uninstalls it silently as its README tells scripts to (waiting for it) and
# checks that nothing of it is left. Wine's menu builder is off, and the home
# folder a scratch one that must stay free of .desktop and .menu files.
#   tests/windows/installer_test.sh build-windows/korvane-VERSION-setup.exe
set -euo pipefail
setup=$(realpath "$1")
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX HOME
scratch=$(mktemp -d /tmp/korvane-wine-install-XXXXXX)
WINEPREFIX=$scratch/prefix HOME=$scratch/home
mkdir "$HOME"
unset XDG_DATA_HOME XDG_CONFIG_HOME
trap 'wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT
fail() { printf 'installer test: FAILED: %s\n' "$*" >&2; exit 1; }

wineboot -i >/dev/null 2>&1
folder="$WINEPREFIX/drive_c/Program Files/Korvane"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Korvane.lnk"

wine "$setup" /S || fail "the installer exited with $?"
wineserver -w
expected=(korvane-check.exe Uninstall.exe README.txt LICENSE.txt examples/clean.cfg
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
# Apps & features shows the program's icon and the installed size (KiB).
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvane'
value() { wine reg query "$entry" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
icon=korvane-check.exe
[ -f "$folder/korvane.exe" ] && icon=korvane.exe
[ "$(value DisplayIcon)" = "C:\\Program Files\\Korvane\\$icon" ] ||
    fail "DisplayIcon is '$(value DisplayIcon)', not the program's"
bytes=$(find "$folder" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }')
size=$(($(value EstimatedSize)))
[ "$size" -ge $((bytes / 1024 - 64)) ] && [ "$size" -le $((bytes / 1024 + 1)) ] ||
    fail "EstimatedSize is $size KiB for $bytes bytes installed"
# No file association is claimed.
if wine reg query 'HKCR\.cfg' >/dev/null 2>&1 || wine reg query 'HKCR\.conf' >/dev/null 2>&1; then
    fail "a file association was made"
fi

# Uninstall.exe /S returns at once, while the copy of itself that it starts
# goes on deleting; scripts run that copy themselves, which waits: the
# README's lines that say so, run as a batch file.
readme=$(dirname "${BASH_SOURCE[0]}")/../../packaging/windows/README.txt
sed -n '/^    copy .*Uninstall\.exe/,/^    del /{s/^    //;s/$/\r/;p}' "$readme" \
    >"$WINEPREFIX/drive_c/uninstall.bat"
[ "$(wc -l <"$WINEPREFIX/drive_c/uninstall.bat")" = 3 ] || fail "no uninstall lines in $readme"
wine cmd /c 'C:\uninstall.bat' >/dev/null || fail "the README's uninstall lines failed"
[ ! -e "$folder" ] || fail "left behind: $(cd "$folder" && find . | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "the Start-menu entry is left behind"
if wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvane' >/dev/null 2>&1; then
    fail "the uninstall entry is left in the registry"
fi
wineserver -w
menus=$(find "$HOME" -name '*.desktop' -o -name '*.menu')
[ -z "$menus" ] || fail "Wine's menu builder wrote $menus"
echo "installer test: installed ($size KiB), ran and uninstalled $(basename "$setup") silently"
