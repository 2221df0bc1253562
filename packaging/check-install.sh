#!/usr/bin/env bash
# check-install.sh <cmake> <build dir> <version>
# Installs the build into a scratch DESTDIR under /usr, validates the desktop entry and the
# AppStream metadata, and checks that every file they name is there.
set -euo pipefail
cmake=$1 build=$2 version=$3
id=org.pinwa.Pinwa
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

DESTDIR=$dest "$cmake" --install "$build" --prefix /usr >/dev/null
usr=$dest/usr
desktop=$usr/share/applications/$id.desktop
metainfo=$usr/share/metainfo/$id.metainfo.xml

for f in "$usr/bin/pinwa" "$desktop" "$metainfo" "$usr/share/man/man1/pinwa.1.gz"; do
    [[ -f $f ]] || fail "not installed: ${f#"$dest"}"
done
[[ -x $usr/bin/pinwa ]] || fail "/usr/bin/pinwa is not executable"
gzip -dc "$usr/share/man/man1/pinwa.1.gz" | grep -q '^\.SH NAME' || fail "man page is not one"

desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $id.desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $id.metainfo.xml"

# Width and height from a PNG's header.
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4,
                                             $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }'
}

# What the desktop entry names.
key() { sed -n "s/^$1=//p" "$desktop" | head -1; }
exec_name=$(key Exec | cut -d' ' -f1)
[[ -x $usr/bin/$exec_name ]] || fail "Exec=$exec_name is not in /usr/bin"
icon=$(key Icon)
[[ $icon == "$id" ]] || fail "Icon=$icon is not $id"
for size in 16 32 48 64 128 256; do
    png=$usr/share/icons/hicolor/${size}x$size/apps/$icon.png
    [[ -f $png ]] || fail "no ${size}x$size icon"
    [[ $(png_size "$png") == "$size $size" ]] || fail "${png#"$dest"} is not $size x $size"
done

# What the metadata names.
tag() { grep -o "<$1[^>]*>[^<]*</$1>" "$metainfo" | sed 's/<[^>]*>//g'; }
[[ $(tag id) == "$id" ]] || fail "metainfo id is not $id"
for launchable in $(tag launchable); do
    [[ -f $usr/share/applications/$launchable ]] || fail "launchable $launchable not installed"
done
for binary in $(tag binary); do
    [[ -x $usr/bin/$binary ]] || fail "provided binary $binary not installed"
done
# The project has no web site: no address may stand in the metadata.
! grep -q '://' "$metainfo" || fail "metainfo names a web address"
newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | cut -d'"' -f2)
[[ $newest == "$version" ]] || fail "newest release $newest is not the project's version $version"

# The installed program starts and keeps running until stopped.
cd "$dest"
status=0
timeout 5 "$usr/bin/pinwa" >/dev/null 2>&1 || status=$?
[[ $status -eq 124 ]] || fail "installed pinwa ended with status $status within 5 s"
echo "install check passed"
