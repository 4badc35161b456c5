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
    # A crashing test program fails its test; no dialog waits for a click.
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
    # ... and no debugger either: the crashed program ends at once.
    "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
      /t REG_SZ /d '' /f
    "$wineserver" -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "no Wine prefix in $WINEPREFIX" >&2; exit 1; }
    ;;
  stop)
    "$wineserver" -k 2>/dev/null || true
    ;;
  *) echo "usage: $0 create|stop WINE WINESERVER" >&2; exit 2 ;;
esac
