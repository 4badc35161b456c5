#!/usr/bin/env bash
# The throw-away Wine prefix of one Windows test run (WINEPREFIX and the rest
# of the environment come from CTest).
# Usage: wine-prefix.sh create|stop WINE WINESERVER
set -euo pipefail
action=$1 wine=$2 wineserver=$3
: "${WINEPREFIX:?}"

case "$action" in
  create)
    # A server left over from an earlier run of this prefix goes first.
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    # A locale the system lacks is compiled for this run (see WineTests.cmake).
    if [ -n "${LOCPATH:-}" ] && [ ! -d "$LOCPATH/$LANG" ]; then
      mkdir -p "$LOCPATH"
      localedef -i "${LANG%%.*}" -f UTF-8 "$LOCPATH/$LANG" || [ -d "$LOCPATH/$LANG" ]
    fi
    "$wine" wineboot --init
    # One start of reg for every setting:
    # - a crashing test program fails its test; no dialog waits for a click,
    #   and no debugger either: the crashed program ends at once;
    # - no window manager runs on the tests' Xvfb, so Wine must not wait for
    #   one (2 s each time a top-level window is hidden, "wait timed out").
    settings="$WINEPREFIX/quorvantel-tests.reg"
    cat > "$settings" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"=""
REG
    "$wine" reg import "Z:${settings//\//\\}"
    "$wineserver" -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "no Wine prefix in $WINEPREFIX" >&2; exit 1; }
    ;;
  stop)
    "$wineserver" -k 2>/dev/null || true
    ;;
  *) echo "usage: $0 create|stop WINE WINESERVER" >&2; exit 2 ;;
esac
