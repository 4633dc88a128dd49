#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Runs a Windows test program under Wine on a virtual X display of its own (xvfb-run).
#   run_on_display.sh WINE WINESERVER PROGRAM [ARGS...]     (WINEPREFIX set by the caller)
# The prefix is this test's alone: the shared one's wine server keeps a desktop made without a
# display, on which no dialog can open. Wine's background programs are started here with their
# output thrown away (they would hold the test's output open), and the server is ended at the
# end, so that the next run's desktop gets that run's display. Wine draws the windows' frames
# itself (no window manager runs), so screenshots show them.
set -u
wine=$1 wineserver=$2
shift 2
mkdir -p "$WINEPREFIX"
"$wineserver" -k </dev/null >/dev/null 2>&1
"$wineserver" -p5 </dev/null >/dev/null 2>&1
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot -i </dev/null >/dev/null 2>&1
  # Xvfb has no window manager: Wine would wait 2 s for one at every window it hides.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  # The dialogs' fonts have no Chinese glyphs: linked to the system's WenQuanYi (if installed),
  # the Chinese texts show in the screenshots as they would on Windows.
  for face in System "Courier New" Tahoma "Tahoma Bold" "MS Shell Dlg"; do
    "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f </dev/null >/dev/null 2>&1
  done
fi
"$wine" wineboot </dev/null >/dev/null 2>&1
"$wine" "$@"
status=$?
"$wineserver" -k </dev/null >/dev/null 2>&1
exit $status
