#!/usr/bin/env bash
# Runs a command with an X display: the caller's when DISPLAY is set (and
# TARNWELL_XVFB is not 1), otherwise a private Xvfb that is stopped afterwards.
#
# Several runs may start at once (tests running side by side each have a display
# of their own), from different network namespaces. A display is taken by Xvfb's
# lock file /tmp/.X<n>-lock, which every namespace sees; the one whose lock names
# our Xvfb is ours. Xvfb's own choice of a free number (-displayfd) will not do:
# it looks only at sockets, and the abstract ones are per namespace, so two
# servers in two namespaces could take one number and one socket file.
set -u
if [ -n "${DISPLAY:-}" ] && [ "${TARNWELL_XVFB:-0}" != 1 ]; then
  exec "$@"
fi
xvfb=
display=
trap '[ -z "$xvfb" ] || { kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; }' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
for n in $(seq 90 250); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  # Ours once its lock names it and its socket is there; gone means another took n first.
  for _ in $(seq 200); do
    kill -0 "$xvfb" 2>/dev/null || break
    if [ -e "/tmp/.X11-unix/X$n" ] && [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$xvfb" ]; then
      display=$n
      break 2
    fi
    sleep 0.05
  done
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  xvfb=
done
if [ -z "$display" ]; then
  echo "with-display.sh: no X display could be started" >&2
  exit 1
fi
export DISPLAY=:$display
"$@"
