#!/usr/bin/env bash
# The throw-away Wine prefix of one Windows test run (WINEPREFIX and the rest
# of the environment come from CTest).
# Usage: wine-prefix.sh create|stop WINE WINESERVER
set -euo pipefail
trap 'echo "wine-prefix.sh: line $LINENO failed: $BASH_COMMAND" >&2' ERR
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
    # What wineboot leaves running to finish the set-up ends first.
    "$wineserver" -w
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
    # Once in a loaded run the import failed without a word: it is checked
    # in the files the server writes when it ends, and tried again.
    for attempt in 1 2 3; do
      if "$wine" reg import "Z:${settings//\//\\}" && "$wineserver" -w &&
         grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" &&
         grep -q '^"Debugger"=""' "$WINEPREFIX/system.reg"; then
        break
      fi
      echo "wine-prefix.sh: the settings did not reach $WINEPREFIX (attempt $attempt)" >&2
      [ "$attempt" -lt 3 ] || exit 1
    done
    ;;
  stop)
    "$wineserver" -k 2>/dev/null || true
    ;;
  *) echo "usage: $0 create|stop WINE WINESERVER" >&2; exit 2 ;;
esac
