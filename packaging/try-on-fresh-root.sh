#!/usr/bin/env bash
# Installs the built packages on a fresh Debian 12 root, as an operator would,
# and counts what apt brings with each: korvane-check first (it must come
# without Qt), then korvane. Also installs over a stand-in for the single
# korvane package of 1.0.0, which held korvane-check too.
#   packaging/try-on-fresh-root.sh ROOT_TAR [DEB_DIR]
# ROOT_TAR is a tar of a bare Debian 12 root file system (debootstrap
# minbase); DEB_DIR defaults to build-release. Needs root (mount, chroot);
# the root is unpacked under DEB_DIR and removed afterwards.
set -euo pipefail
[ $# -ge 1 ] || { sed -n '2,9s/^# \{0,1\}//p' "$0" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "${0##*/}: must run as root" >&2; exit 2; }
tar_file=$(realpath "$1")
debs=$(realpath "${2:-build-release}")
check_deb=$(ls "$debs"/korvane-check_*.deb)
gui_deb=$(ls "$debs"/korvane_*.deb)

# Everything below runs in a mount namespace of its own, so that the mounts
# inside the root end with it even when a step fails.
if [ "${KORVANE_TRY_INSIDE:-}" != 1 ]; then
    root=$(mktemp -d "$debs/fresh-root.XXXXXX")
    status=0
    KORVANE_TRY_INSIDE=1 KORVANE_TRY_ROOT=$root \
        unshare --mount --propagation private "$0" "$@" || status=$?
    rm -rf --one-file-system "$root"
    exit "$status"
fi

R=$KORVANE_TRY_ROOT
tar --numeric-owner -C "$R" -xpf "$tar_file"
mount -t proc proc "$R/proc"
mount -t tmpfs -o nosuid,mode=755,size=16m dev "$R/dev"
mknod -m 666 "$R/dev/null" c 1 3
mknod -m 666 "$R/dev/zero" c 1 5
mknod -m 666 "$R/dev/urandom" c 1 9
mknod -m 666 "$R/dev/random" c 1 8
ln -s /proc/self/fd "$R/dev/fd"
mkdir "$R/dev/pts" "$R/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$R/dev/pts"
ln -s pts/ptmx "$R/dev/ptmx"
# The host's resolver and apt proxy reach the mirrors; no service starts.
cp -L /etc/resolv.conf "$R/etc/resolv.conf"
eval "$(apt-config shell http_proxy Acquire::http::Proxy)"
[ -z "${http_proxy:-}" ] ||
    printf 'Acquire::http::Proxy "%s";\n' "$http_proxy" >"$R/etc/apt/apt.conf.d/00proxy"
printf '#!/bin/sh\nexit 101\n' >"$R/usr/sbin/policy-rc.d"
chmod 755 "$R/usr/sbin/policy-rc.d"
cp "$check_deb" "$gui_deb" "$R/tmp/"

in_root() {
    env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root DEBIAN_FRONTEND=noninteractive \
        chroot "$R" /bin/bash -c "$1" </dev/null
}
count() { in_root "dpkg-query -W -f '\${binary:Package}\n'" | sort; }
# Installs $1 (a path in the root) and says how many packages came with it.
install_counted() {
    local before after
    before=$(count)
    in_root "apt-get install -y -q $1" >"$R/tmp/apt.log" 2>&1 ||
        { tail -n 30 "$R/tmp/apt.log" >&2; echo "FAILED: apt-get install $1" >&2; return 1; }
    after=$(count)
    local new
    new=$(comm -13 <(echo "$before") <(echo "$after"))
    echo "$1: $(echo "$new" | grep -c .) packages installed:" $new
    echo "  ($(grep -E '^[0-9]+ upgraded' "$R/tmp/apt.log"); $(grep -E '^After this operation' "$R/tmp/apt.log" || :))"
}

in_root "apt-get update -q" >/dev/null
echo "fresh root: $(count | wc -l) packages"
check=$(basename "$check_deb") gui=$(basename "$gui_deb")
install_counted "/tmp/$check"
if count | grep -q '^libqt6'; then echo "FAILED: korvane-check brought Qt" >&2; exit 1; fi
in_root "korvane-check --version && korvane-check /usr/share/doc/korvane-check/examples/clean.cfg | tail -n 1"
in_root "man -w korvane-check 2>/dev/null || ls /usr/share/man/man1/korvane-check.1.gz"
echo "/tmp/$gui without recommends would bring" \
    "$(in_root "apt-get install -s -q --no-install-recommends /tmp/$gui" | grep -c '^Inst [^ ]* (') packages"
install_counted "/tmp/$gui"
in_root "QT_QPA_PLATFORM=offscreen korvane --version"
in_root "grep korvane /usr/share/mime/globs2 || echo 'no MIME database (shared-mime-info not installed)'"

# Over the single package of 1.0.0: korvane-check takes its program over.
in_root "apt-get remove -y -q korvane korvane-check" >/dev/null
old=$R/tmp/old
mkdir -p "$old/DEBIAN" "$old/usr/bin"
printf '#!/bin/sh\n' >"$old/usr/bin/korvane-check"
printf '#!/bin/sh\n' >"$old/usr/bin/korvane"
chmod 755 "$old/usr/bin/"*
printf 'Package: korvane\nVersion: 1.0.0\nArchitecture: all\nMaintainer: x <x@x.org>\nDescription: stand-in\n' \
    >"$old/DEBIAN/control"
dpkg-deb --root-owner-group --build "$old" "$R/tmp/korvane_1.0.0_all.deb" >/dev/null
in_root "dpkg -i /tmp/korvane_1.0.0_all.deb" >/dev/null
in_root "apt-get install -y -q /tmp/$check /tmp/$gui" >"$R/tmp/apt.log" 2>&1 ||
    { tail -n 30 "$R/tmp/apt.log" >&2; echo "FAILED: upgrade from korvane 1.0.0" >&2; exit 1; }
echo "upgrade from korvane 1.0.0: $(in_root "dpkg-query -W korvane korvane-check" | tr '\n' ' ')"
in_root "korvane-check --version"
