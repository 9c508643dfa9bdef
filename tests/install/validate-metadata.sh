#!/usr/bin/env bash
# What desktop menus and software centres read of Quorel, checked the way
# they read it: the AppStream description and the desktop entries, and that
# the description points at things we ship.
# Usage: validate-metadata.sh METAINFO DOCS_DIR DESKTOP_FILE...
set -euo pipefail
metainfo=$1
docs=$2
shift 2

appstreamcli validate --no-net "$metainfo"
desktop-file-validate "$@"

failed=0
# The description launches one of the entries given.
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
found=0
for entry in "$@"; do
    [ "$(basename "$entry")" = "$launchable" ] && found=1
done
if [ "$found" != 1 ]; then
    echo "the description launches '$launchable', which is none of: $*"
    failed=1
fi
# Every screenshot is a picture of docs/, which is where they are published from.
shots=$(sed -n 's|.*<image[^>]*>\(.*\)</image>.*|\1|p' "$metainfo")
if [ -z "$shots" ]; then
    echo "the description shows no screenshot"
    failed=1
fi
for url in $shots; do
    if [ ! -f "$docs/$(basename "$url")" ]; then
        echo "screenshot $url is not in $docs"
        failed=1
    fi
done
exit "$failed"
