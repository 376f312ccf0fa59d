#!/usr/bin/env bash
# Runs a Windows program under Wine with a private prefix and quiet logs.
# WINEPREFIX defaults to a prefix of this checkout's own; DISPLAY must be set by
# the caller (scripts/with-display.sh) for programs that open windows.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/wine-env.sh"
export WINEPREFIX=${WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
marker=$WINEPREFIX/$wine_prefix_marker
# A prefix under build/wine/ is a test's own: a copy of build/wineprefix, made in a moment.
if [ ! -f "$marker" ] && [ "$(dirname "$WINEPREFIX")" = "$here/build/wine" ]; then
  "$here/scripts/wine-prefix.sh" "$(basename "$WINEPREFIX")" >/dev/null
fi
if [ ! -f "$marker" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  # One virtual desktop for every program of the prefix: Wine then draws the
  # captions and frames itself, and the UI driver shares the desktop. Without a
  # window manager, unmanaged windows also spare a wait each time a dialog closes.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  wineserver -w
  touch "$marker"
fi
# Debian's Wine looks for its own fonts (package fonts-wine) under a path it cannot open, so the
# prefix links them into its Fonts folder; without Marlett a caption's close button is an "r".
fonts=$WINEPREFIX/drive_c/windows/Fonts
if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ -d "$fonts" ] && [ ! -e "$fonts/marlett.ttf" ]; then
  ln -sf /usr/share/wine/fonts/* "$fonts/"
fi
exec wine "$@"
