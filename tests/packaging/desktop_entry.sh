#!/bin/sh
# What a desktop makes of the installed desktop entry and MIME type: the
# entry is valid; *.cfg and *.conf files get Korvane's own type, other text
# stays text/plain; Korvane is offered for its type (with the text editors,
# which take any text) and not for plain text. Queried through GIO, as file
# managers do, on a data folder of its own holding the shared MIME database,
# korvane.desktop and a stand-in text editor. Skipped (77) without the tools.
# Usage: desktop_entry.sh KORVANE.DESKTOP KORVANE-MIME.XML
set -eu

fail() {
    echo "desktop_entry: $*" >&2
    exit 1
}

shared=/usr/share/mime/packages/freedesktop.org.xml
for tool in desktop-file-validate update-desktop-database update-mime-database gio; do
    command -v "$tool" >/dev/null || { echo "desktop_entry: no $tool; skipped"; exit 77; }
done
[ -f "$shared" ] || { echo "desktop_entry: no $shared; skipped"; exit 77; }

out=$(desktop-file-validate "$1" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
exec_line=$(grep '^Exec=' "$1")
[ "$exec_line" = 'Exec=korvane %f' ] || fail "Exec line: '$exec_line'"

data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
in_data() {
    env LC_ALL=C PATH="$data/bin:$PATH" XDG_DATA_DIRS="$data/share" XDG_DATA_HOME="$data/home" \
        XDG_CONFIG_HOME="$data/config" XDG_CONFIG_DIRS="$data/config" "$@"
}
mkdir -p "$data/share/mime/packages" "$data/share/applications" "$data/bin" "$data/files"
cp "$shared" "$data/share/mime/packages/"
cp "$2" "$data/share/mime/packages/korvane.xml"
in_data update-mime-database "$data/share/mime"
cp "$1" "$data/share/applications/korvane.desktop"
printf '[Desktop Entry]\nType=Application\nName=Editor\nExec=editor %%f\nMimeType=text/plain;\n' \
    >"$data/share/applications/editor.desktop"
in_data update-desktop-database "$data/share/applications"
# GIO offers only programs it finds on the PATH.
printf '#!/bin/sh\n' >"$data/bin/korvane"
cp "$data/bin/korvane" "$data/bin/editor"
chmod 755 "$data/bin/korvane" "$data/bin/editor"

# FILE -> its content type
while read -r name expected; do
    echo '[Warbird]' >"$data/files/$name"
    got=$(in_data gio info -a standard::content-type "$data/files/$name" |
        sed -n 's/^ *standard::content-type: //p')
    [ "$got" = "$expected" ] || fail "$name: type '$got', expected '$expected'"
done <<'EOF'
server.cfg text/x-korvane-settings
arena.conf text/x-korvane-settings
notes.txt text/plain
ships.ini text/plain
EOF
# TYPE -> the programs offered for it
while read -r type expected; do
    got=$(in_data gio mime "$type" |
        awk '/^Registered applications:/ { on = 1; next } /^[^\t]/ { on = 0 } on { printf "%s%s", sep, $1; sep = " " }')
    [ "$got" = "$expected" ] || fail "$type: offered '$got', expected '$expected'"
done <<'EOF'
text/x-korvane-settings korvane.desktop editor.desktop
text/plain editor.desktop
EOF
echo "desktop_entry: passed"
