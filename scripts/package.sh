#!/usr/bin/env bash
# Builds the release packages into dist/ and prints their paths and sizes:
#   Tarnwell-<version>-win64.zip      the window and tarnwell-cli.exe for Windows, a portable folder
#   tarnwell-cli_<version>_<arch>.deb the command line and the board simulator for Debian, with their
#                                     manual pages
# Installs what is missing and builds both trees first; CPack makes the packages from the
# install rules (packaging/Packaging.cmake).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
scripts/build.sh
mkdir -p dist
made=()
for tree in build/win build/native; do
  rm -rf "$tree/package"
  # Quiet unless it fails: CPack lists every file it stages.
  if ! out=$(cd "$tree" && cpack --config CPackConfig.cmake 2>&1); then
    echo "$out" >&2
    echo "package.sh: CPack failed in $tree" >&2
    exit 1
  fi
  for file in "$tree"/package/*.zip "$tree"/package/*.deb; do
    [ -f "$file" ] || continue
    cp "$file" dist/
    made+=("dist/$(basename "$file")")
  done
done
[ ${#made[@]} -eq 2 ] || { echo "package.sh: expected two packages, got: ${made[*]}" >&2; exit 1; }
echo
for file in "${made[@]}"; do
  printf '%s  %s\n' "$root/$file" "$(numfmt --to=iec --suffix=B --format=%.1f "$(stat -c %s "$file")")"
done
