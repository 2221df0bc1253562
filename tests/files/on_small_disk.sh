#!/bin/sh
# Runs a test case with a real 1 MiB tmpfs of its own, mounted in a private mount
# namespace, named by PINWA_SMALL_DISK. Skips (77) where user namespaces are off.
#   on_small_disk.sh TEST_BINARY TEST_CASE
unshare -rm true 2>/dev/null || { echo "skipped: no user namespaces for a tmpfs"; exit 77; }
dir=$(mktemp -d) || exit 1
trap 'rmdir "$dir"' EXIT
unshare -rm sh -c 'mount -t tmpfs -o size=1m pinwa "$1" && PINWA_SMALL_DISK="$1" "$2" "$3"' \
    sh "$dir" "$1" "$2"
