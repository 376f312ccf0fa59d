#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, when any is missing.
set -euo pipefail
# Extra packages may be named on the command line (the benchmarks add theirs).
packages=("$@"
          cmake ninja-build g++ clang libfuzzer-14-dev libclang-rt-14-dev googletest libgtest-dev
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 xvfb xdotool imagemagick
          iproute2 python3 procps psmisc nlohmann-json3-dev
          fonts-wine help2man lintian dpkg-dev binutils file unzip stress-ng)
# stress-ng: the busy processes of tests/soak.sh --load.
# nlohmann-json3-dev: the command line's JSON, header-only, for the native and the mingw build.
# fonts-wine: Wine's own fonts; without its Marlett a caption's close button shows as an "r".
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
