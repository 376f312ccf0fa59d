#!/usr/bin/env bash
# Makes a Wine prefix of its own for a test, as a copy of this checkout's prefix
# build/wineprefix (made once, by scripts/wine-run.sh, the first time it is
# needed), and prints its path.
#
#   scripts/wine-prefix.sh NAME        the prefix build/wine/NAME
#
# Tests with prefixes of their own run side by side: each has its own Wine
# server, started in the test's own network namespace. Making a prefix takes
# about a minute; a copy takes a moment, as it links the template's files
# rather than copying them. Wine writes a new registry file and renames it over
# the old one, so a linked one is never written through; the registry files are
# copied all the same, and so is anything else that might be written in place.
# A copy older than the template is made again.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
name=${1:?usage: wine-prefix.sh NAME}
source "$here/scripts/wine-env.sh"
template=$here/build/wineprefix
marker=$wine_prefix_marker
dest=$here/build/wine/$name
mkdir -p "$here/build/wine"
exec 9>"$here/build/wine/.lock"
flock 9
if [ ! -f "$template/$marker" ]; then
  WINEPREFIX=$template "$here/scripts/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true
  # Its server writes the registry when it ends.
  WINEPREFIX=$template timeout 60 wineserver -w 2>/dev/null || true
fi
[ -f "$template/$marker" ] || { echo "wine-prefix.sh: could not make $template" >&2; exit 1; }
if [ ! -f "$dest/$marker" ] || [ "$template/$marker" -nt "$dest/$marker" ]; then
  if [ -d "$dest" ]; then
    WINEPREFIX=$dest wineserver -k 2>/dev/null || true
    rm -rf "$dest"
  fi
  rm -rf "$dest.new"
  cp -al "$template" "$dest.new"
  for file in "$dest.new"/*.reg "$dest.new"/.update-timestamp; do
    [ -f "$file" ] && cp --remove-destination "$template/${file##*/}" "$file"
  done
  # The server's directory is named after the prefix; a copy gets its own.
  rm -f "$dest.new/wineserver" "$dest.new/$marker"
  touch "$dest.new/$marker"
  mv "$dest.new" "$dest"
fi
echo "$dest"
