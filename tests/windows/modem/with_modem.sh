#!/bin/sh
# with_modem.sh COMn PROGRAM...: runs a Windows test program with the simulated modem on COMn
# (the prefix's dosdevices link to the native simulator's pseudo-terminal), LOGIN_TEST_COM=COMn.
set -u
com=$1
shift
sim=${LOGIN_MODEM_SIM:-}
if [ -z "$sim" ] || [ ! -x "$sim" ]; then
    echo "with_modem.sh: LOGIN_MODEM_SIM does not name the native modem-sim"
    exit 77
fi
work=$(mktemp -d)
device="${WINEPREFIX:-$HOME/.wine}/dosdevices/$(echo "$com" | tr 'A-Z' 'a-z')"
stop() {
    exec 7>&-
    wait
    rm -f "$device"
    rm -rf "$work"
}
trap stop EXIT
trap 'exit 1' INT TERM

# The order of the program's reads: the SPN busy once, then read; the IMSI, then no answer once.
cat >"$work/modem.script" <<'SCRIPT'
imsi 460001234567890
spn-ucs2 中国移动
unsolicited ^RSSI:17
results AT+CRSM 14,0
results AT+CIMI 0,-1,0
SCRIPT
mkfifo "$work/in" "$work/out"
"$sim" --link "$work/tty" --script "$work/modem.script" <"$work/in" >"$work/out" &
exec 7>"$work/in" 8<"$work/out"
read -r word _ <&8 || word=
if [ "$word" != port ]; then
    echo "with_modem.sh: modem-sim did not start" >&2
    exit 1
fi
# Drained all along: the simulator prints each command it answers.
cat <&8 >/dev/null 7>&- &
exec 8<&-
ln -sfn "$work/tty" "$device"
LOGIN_TEST_COM=$com "$@" 7>&-
exit $?
