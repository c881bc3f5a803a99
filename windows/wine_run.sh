#!/usr/bin/env bash
# wine_run.sh PREFIX PROGRAM [ARGS...]: runs a 32-bit Windows program under
# Wine without a display, in the Wine prefix PREFIX (made on first use, inside
# the build folder, so that nothing outside it is touched).
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
# The locale pinned: Wine takes the Windows ANSI code page from it (C: 1252,
# the emulated host's default) and the encoding of the file names on disk
# (UTF-8, as the Linux side writes them); with plain C the template file
# "Möbel.qmt" could not be found under Windows. PELMORA_WINE_LOCALE picks
# another (ja_JP.UTF-8: a Japanese system, ANSI code page 932); each locale
# needs a prefix of its own.
export LC_ALL=${PELMORA_WINE_LOCALE:-C.UTF-8}
# No Mono or Gecko download prompts; no window anywhere.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  # Several test programs may start at once: one of them makes the prefix.
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      wineboot --init >/dev/null 2>&1 || true
      wineserver --wait || true
    fi
  ) 9>"$prefix.lock"
fi
exec wine "$@"
