#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the desktop files of a build into a prefix of its own and has the desktop's validators read
# them as installed, and man render the manual page. Any remark, a warning or a hint, fails.
# Usage: validate_installed.sh CMAKE BUILD_DIR DESKTOP_ID DESKTOP_FILE_VALIDATE APPSTREAMCLI MAN
set -euo pipefail
cmake=$1 build=$2 id=$3 desktop_file_validate=$4 appstreamcli=$5 man=$6

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" --component desktop >/dev/null
"$cmake" --install "$build" --prefix "$prefix" --component manual >/dev/null

desktop="$prefix/share/applications/$id.desktop"
metainfo="$prefix/share/metainfo/$id.metainfo.xml"
manual="$prefix/share/man/man1/parlune.1.gz"
for file in "$desktop" "$metainfo" "$prefix/share/icons/hicolor/scalable/apps/parlune.svg" "$manual"; do
    [ -f "$file" ] || { echo "not installed: ${file#"$prefix"/}"; exit 1; }
done

status=0
remarks=$("$desktop_file_validate" "$desktop" 2>&1) || status=1
if [ -n "$remarks" ]; then
    echo "$remarks"
    status=1
fi
# Without --pedantic: the id's capital letter is the common form of desktop ids.
if ! remarks=$("$appstreamcli" validate --no-net --explain "$metainfo" 2>&1); then
    echo "$remarks"
    status=1
elif grep -qE '^[EWI]: ' <<<"$remarks"; then
    # Infos alone leave the exit status at 0.
    echo "$remarks"
    status=1
fi
# groff's warnings (an unknown request, a line that does not fit) go to standard error.
if ! remarks=$(LC_ALL=C.UTF-8 MANWIDTH=80 "$man" --warnings -l "$manual" 2>&1 >/dev/null) || [ -n "$remarks" ]; then
    echo "manual page: ${remarks:-man failed}"
    status=1
fi
[ $status -eq 0 ] && echo "desktop entry, AppStream metadata and manual page of $id: valid"
exit $status
