#!/usr/bin/env bash
# Runs a command with an X display: the caller's when DISPLAY is set (and
# TARNWELL_XVFB is not 1), otherwise a private Xvfb that is stopped afterwards.
set -u
if [ -n "${DISPLAY:-}" ] && [ "${TARNWELL_XVFB:-0}" != 1 ]; then
  exec "$@"
fi
for n in $(seq 90 140); do
  [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { display=$n; break; }
done
Xvfb :$display -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null' EXIT INT TERM
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.1; done
export DISPLAY=:$display
"$@"
