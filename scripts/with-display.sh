#!/usr/bin/env bash
# Runs a command with an X display: the caller's when DISPLAY is set (and
# TARNWELL_XVFB is not 1), otherwise a private Xvfb that is stopped afterwards.
# Xvfb picks a free display number itself, so that several runs may start at
# once (tests running side by side each have a display of their own).
set -u
if [ -n "${DISPLAY:-}" ] && [ "${TARNWELL_XVFB:-0}" != 1 ]; then
  exec "$@"
fi
fifo_dir=$(mktemp -d "${TMPDIR:-/tmp}/xvfb.XXXXXX") || exit 1
mkfifo "$fifo_dir/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo_dir/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$fifo_dir"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# Xvfb writes the number once it accepts connections; nothing within 30 s means it failed.
display=
read -r -t 30 display <"$fifo_dir/display"
if [ -z "$display" ]; then
  echo "with-display.sh: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=:$display
"$@"
