#!/usr/bin/env bash
# The host on a real data card's AT port: the simulated modem (modem-sim) answers on a
# pseudo-terminal behind a link, loginhost reads the SIM from it over AT commands and the plug-in
# signs it in to the account server on loopback. Natively the profile names the link; under Wine
# (RUNNER given) it names COM5, which the prefix's dosdevices/com5 links to the same place.
#
# usage: modem_scenarios.sh SCENARIO LOGINHOST PLUGIN MODEM_SIM WORKDIR [RUNNER...]
#   MODEM_SIM "-" takes LOGIN_MODEM_SIM; LOGIN_ACCOUNT_SERVER names the native account server.
#   Without either the scenario is skipped.
set -euo pipefail
scenario=$1 host_src=$2 plugin_src=$3 modem_sim=$4 work=$5
shift 5
runner=("$@")
# "-": the Windows build has no simulator of its own; the native one is named in the environment.
if [ "$modem_sim" = - ]; then
    modem_sim=${LOGIN_MODEM_SIM:-}
    if [ -z "$modem_sim" ] || [ ! -x "$modem_sim" ]; then
        echo "SKIPPED: LOGIN_MODEM_SIM does not name the native modem-sim"
        exit 77
    fi
fi
data="$(cd "$(dirname "$0")/../../data/scenarios" && pwd)"
readonly IMSI=460001234567890
. "$(dirname "$0")/../../support/scenario_lib.sh"
need_server
host_dir "$work" "$host_src" "$plugin_src"
on_stop() {
    exec 7>&- 2>/dev/null || true
    [ ${#runner[@]} -gt 0 ] && rm -f "${WINEPREFIX:-$HOME/.wine}/dosdevices/com5"
    return 0
}
start_server server

# start_modem SCRIPT-LINES: the simulated modem; lines written to fd 7 change it.
start_modem() {
    printf '%s\n' "$@" >modem.script
    : >modem.out  # a modem started before has left its lines there
    rm -f modem.in
    mkfifo modem.in
    "$modem_sim" --link "$work/ttyModem" --script modem.script <modem.in >modem.out 2>&1 &
    modem_pid=$!
    pids+=($!)
    exec 7>modem.in
    wait_for modem.out '^port '
}
# stop_modem: the simulated modem ends at the end of its input, its link gone with it; only then
# may the next one make the link.
stop_modem() {
    exec 7>&-
    wait "$modem_pid" 2>/dev/null || true
}

# since T0: seconds from T0 (date +%s.%N) to now, for the figures a scenario prints.
since() { awk -v t0="$1" -v t1="$(date +%s.%N)" 'BEGIN { printf "%.2f", t1 - t0 }'; }

port="$work/ttyModem"
if [ ${#runner[@]} -gt 0 ]; then
    ln -sfn "$work/ttyModem" "${WINEPREFIX:-$HOME/.wine}/dosdevices/com5"
    port=COM5
fi
write_urls "$server_port"
printf '[card]\nport=%s\n' "$port" >profile/card.ini
"${runner[@]}" "$host" encode-table "$data/brand-table.xml" host/SIMBrandInfo.xml --profile profile \
    >encode.out 2>&1 || fail "encode-table failed"

# run_host OUT [argument...]: the host in the background, its output in OUT.
run_host() {
    local out=$1
    shift
    "${runner[@]}" "$host" "$@" >"$out" 2>"$out.err" 7>&- &
    host_pid=$!
}
# host_done OUT: waits for the host; its status in $status, its output shown.
host_done() {
    status=0
    wait "$host_pid" || status=$?
    tr -d '\r' <"$1" >"$1.txt"
    echo "--- loginhost (status $status)"
    cat "$1.txt"
    tr -d '\r' <"$1.err" >&2
}
expect_login() {  # OUT IMSI-PATTERN
    [ "$status" -eq 0 ] || fail "$1: exit status $status"
    grep -q 'expect    FAILED' "$1.txt" && fail "an expectation of the script failed"
    [ "$(json "$1.txt" login)" = true ] || fail "$1: not logged in"
    [[ "$(json "$1.txt" imsi)" =~ ^$2$ ]] || fail "$1: identity $(json "$1.txt" imsi)"
    grep -qx 'shutdown  OnDestroy, Release' "$1.txt" || fail "$1: no clean shutdown"
}
logins() { grep -c 'POST /login' server.log || true; }
# run_out_of_time LABEL SECONDS [ARGUMENT...]: a run that must end at its --timeout, not logged
# in, and still shut the plug-in down cleanly; its output in run.out.txt.
run_out_of_time() {
    local t0 label=$1 seconds=$2
    t0=$(date +%s.%N)
    run_host run.out run --profile profile --json --timeout "$seconds" "${@:3}"
    host_done run.out
    echo "figure: $label: ended $(since "$t0") s after the start (--timeout $seconds)"
    [ "$status" -eq 1 ] || fail "$label: exit status $status, not 1"
    grep -qx "stop      time-out (--timeout $seconds)" run.out.txt || fail "$label: no time-out said"
    grep -qx 'shutdown  OnDestroy, Release' run.out.txt || fail "$label: no clean shutdown"
    [ "$(json run.out.txt login)" = false ] || fail "$label: logged in"
}

case "$scenario" in
ucs2 | gsm)
    # First start: the card's SPN picks the brand and skin; lines the modem sends of its own
    # accord in between change nothing.
    if [ "$scenario" = ucs2 ]; then
        start_modem "imsi $IMSI" "spn-ucs2 中国移动" "unsolicited ^RSSI:17" "unsolicited +CREG: 1"
        skin='skin      simtype=3 name=中国移动'
    else
        start_modem "imsi $IMSI" "spn-gsm china unicom" "unsolicited RING"
        skin='skin      simtype=2 name=china unicom'
    fi
    run_host run.out run --profile profile --json --timeout 30
    host_done run.out
    expect_login run.out "$IMSI"
    grep -qE '^event +50082 from the card to 1 listener\(s\)$' run.out.txt || fail "no card event"
    grep -qxF "$skin" run.out.txt || fail "no skin switch to the card's brand"
    [ "$(logins)" -eq 1 ] || fail "not one login"
    ;;
busy)
    # The SIM is busy twice when the brand is read, then ready.
    start_modem "imsi $IMSI" "spn-gsm CMCC" "results AT+CRSM 14,14,0"
    run_host run.out run --profile profile --json --timeout 30
    host_done run.out
    expect_login run.out "$IMSI"
    grep -qxF 'skin      simtype=3 name=CMCC' run.out.txt || fail "no skin switch after the retries"
    [ "$(grep -c 'DEVGetSimBrand() sim busy, try again.' norvamts_trace_0.log)" -eq 2 ] ||
        fail "the plug-in did not retry twice"
    ;;
no-sim)
    # No SIM: no 50082; the plug-in is told 10301 and, without a brand, cannot sign in.
    start_modem "sim no"
    printf 'start-login\nwait-trace 20 strSimTypeID equal\nexpect login false\nexpect error -3\n' \
        >run.script
    run_host run.out run --profile profile --script run.script --json
    host_done run.out
    [ "$status" -eq 1 ] || fail "exit status $status, not 1"
    grep -q 'expect    FAILED' run.out.txt && fail "an expectation of the script failed"
    grep -q '^event ' run.out.txt && fail "a device event without a SIM"
    grep -qE '^progress +\+[0-9.]+s state 10301 \(card: no SIM\)$' run.out.txt ||
        fail "the plug-in was not told 10301"
    grep -q 'DEVGetSimBrand() sim not inserted.' norvamts_trace_0.log || fail "no SIM not traced"
    [ "$(logins)" -eq 0 ] || fail "a login without a SIM"
    ;;
unplug)
    # Unplugged once logged in: 50083 and the login drops; plugged in again: 50082 and a new
    # login.
    start_modem "imsi $IMSI" "spn-gsm CMCC"
    cat >run.script <<'SCRIPT'
wait-event 50082
start-login
wait-login 20
wait-event 50083 30
wait-logout 20
wait-event 50082 30
wait-login 20
expect login true
SCRIPT
    run_host run.out run --profile profile --script run.script --json
    wait_for run.out '^wait +logged in '
    echo unplug >&7
    wait_for run.out '^wait +logged out '
    echo plug >&7
    host_done run.out
    expect_login run.out "$IMSI"
    grep -E '^event ' run.out.txt | sed -E 's/^event +([0-9]+) .*/\1/' | tr '\n' ' ' >events
    [ "$(cat events)" = "50082 50083 50082 " ] || fail "the card's events: $(cat events)"
    ;;
silent)
    # The wrong port of the modem (a diagnostics or GPS one) answers nothing: the host says so
    # within seconds and loads nothing.
    start_modem "imsi $IMSI" "silent yes"
    t0=$(date +%s.%N)
    run_host run.out run --profile profile --json
    host_done run.out
    echo "figure: the clear error came $(since "$t0") s after the start"
    [ "$status" -eq 2 ] || fail "exit status $status, not 2"
    grep -qE 'card\.ini: .*: no answer to AT \(not the AT port\?\)' run.out.err ||
        fail "no clear message"
    grep -q '^plugin ' run.out.txt && fail "the plug-in was loaded"
    [ "$(grep -c '^< AT$' modem.out)" -ge 1 ] || fail "no AT asked"
    ;;
mute)
    # The port answered at start, then the SIM's file reads go unanswered twice: each ends with
    # the time-out (10003), which the plug-in retries, and the login follows.
    start_modem "imsi $IMSI" "spn-gsm CMCC" "results AT+CRSM -1,-1,0"
    run_host run.out run --profile profile --json --timeout 60
    host_done run.out
    expect_login run.out "$IMSI"
    grep -q 'DEVGetSimBrand() time out, try again.' norvamts_trace_0.log || fail "no retry traced"
    grep -qE '^event +50082 from the card to 1 listener\(s\)$' run.out.txt || fail "no card event"
    ;;
forms)
    # A modem that answers as other makers' do: tight and quoted forms, tagged IMSI, unquoted
    # file data, CR-only line ends, unsolicited lines inside answers, numeric mode at start,
    # echo it keeps, verbose errors and writes a few bytes at a time.
    start_modem "imsi $IMSI" "spn-gsm CMCC" "cpin-form tight" "cimi-tag yes" "crsm-unquoted yes" \
        "cr-only yes" "urc-inside yes" "unsolicited ^RSSI:17" "numeric yes" "echo-stuck yes" \
        "verbose-errors yes" "results AT+CRSM 14,0" "split yes"
    run_host run.out run --profile profile --json --timeout 30
    host_done run.out
    expect_login run.out "$IMSI"
    grep -qxF 'skin      simtype=3 name=CMCC' run.out.txt || fail "no skin switch to the brand"
    grep -q 'DEVGetSimBrand() sim busy, try again.' norvamts_trace_0.log ||
        fail "the named busy error was not retried"
    ;;
locked)
    # A SIM that asks for its PIN: no card event, the reason said once, and the plug-in told the
    # host's own code, not one that reads as the server's.
    start_modem "imsi $IMSI" "spn-gsm CMCC" "pin sim-pin"
    printf 'start-login\nwait-trace 20 strSimTypeID equal\nsleep 5\nexpect login false\n' \
        >run.script
    run_host run.out run --profile profile --script run.script --json
    host_done run.out
    [ "$status" -eq 1 ] || fail "exit status $status, not 1"
    grep -q 'expect    FAILED' run.out.txt && fail "an expectation of the script failed"
    grep -q '^event ' run.out.txt && fail "a device event for a locked SIM"
    [ "$(grep -cE '^card +SIM PIN required: ' run.out.txt)" -eq 1 ] || fail "the reason not said once"
    grep -qE '^progress +\+[0-9.]+s state 10302 \(card: SIM PIN required\)$' run.out.txt ||
        fail "the plug-in was not told 10302"
    grep -q 'server' run.out.txt && fail "a device error read as the server's"
    [ "$(logins)" -eq 0 ] || fail "a login with a locked SIM"
    ;;
interrupt-start | interrupt-event | interrupt-wait)
    # SIGINT or SIGTERM ends the host at once wherever it is: while the plug-in retries a read
    # that never ends as the login object is made, while it does so for a card event, or while
    # the host waits.
    case "$scenario" in
    interrupt-start)
        start_modem "imsi $IMSI" "spn-gsm CMCC" "results AT+CRSM -1"
        run_host run.out run --profile profile --json
        wait_for norvamts_trace_0.log 'DEVGetSimBrand\(\) time out, try again\.'
        signal=INT
        ;;
    interrupt-event)
        start_modem "imsi $IMSI" "spn-gsm CMCC" "results AT+CRSM 0,-1"
        run_host run.out run --profile profile --json
        wait_for run.out '^event +50082 '
        wait_for norvamts_trace_0.log 'DEVGetSimBrand\(\) time out, try again\.'
        # A Windows program hears Ctrl+C; Wine ends it outright on SIGTERM.
        signal=TERM
        [ ${#runner[@]} -gt 0 ] && signal=INT
        ;;
    interrupt-wait)
        start_modem "imsi $IMSI" "spn-gsm CMCC"
        printf 'wait-event 50082\nstart-login\nwait-login 20\nsleep 600\n' >run.script
        run_host run.out run --profile profile --script run.script --json
        wait_for run.out '^wait +logged in '
        signal=INT
        ;;
    esac
    t0=$(date +%s.%N)
    kill -$signal "$host_pid"
    host_done run.out
    echo "figure: $scenario: SIG$signal to exit $(since "$t0") s"
    grep -q 'interrupted' run.out.txt run.out.err || fail "the interrupt not said"
    if [ "$scenario" = interrupt-wait ]; then
        grep -qx 'stop      interrupted' run.out.txt || fail "the interrupt not reported"
        grep -qx 'shutdown  OnDestroy, Release' run.out.txt || fail "no clean shutdown"
    fi
    ;;
no-ok | cme100 | own-words | setup)
    # Modems that answer their own way, each read as the card it is: +CPIN? answered without
    # OK; +CPIN? refused as older phones do (the IMSI settles it); a success word and an error
    # of the modem's own (the SPN read is refused once, and not asked again as a time-out);
    # the set-up pair and AT+CMEE=1 refused.
    case "$scenario" in
    no-ok) start_modem "imsi $IMSI" "spn-gsm CMCC" "no-final AT+CPIN" ;;
    cme100) start_modem "imsi $IMSI" "spn-gsm CMCC" "results AT+CPIN 100" ;;
    own-words)
        start_modem "imsi $IMSI" "spn-gsm CMCC" "ok-line DONE" "error-line MODEM ERROR: 5" \
            "results AT+CRSM 5,0"
        ;;
    setup)
        start_modem "imsi $IMSI" "spn-gsm CMCC" "refuse-combined yes" "results AT+CMEE 3" \
            "error-line NA"
        ;;
    esac
    t0=$(date +%s.%N)
    run_host run.out run --profile profile --json --timeout 30
    host_done run.out
    echo "figure: $scenario: logged in $(since "$t0") s after the start"
    expect_login run.out "$IMSI"
    grep -qE '^event +50082 from the card to 1 listener\(s\)$' run.out.txt || fail "no card event"
    grep -qxF 'skin      simtype=3 name=CMCC' run.out.txt || fail "no skin switch to the brand"
    grep -q 'DEVGetSimBrand() time out' norvamts_trace_0.log && fail "a modem's answer read as a time-out"
    if [ "$scenario" = own-words ]; then
        [ "$(grep -c 'DEVGetSimBrand() other error' norvamts_trace_0.log)" -eq 1 ] ||
            fail "the modem's error not given up at once"
    fi
    if [ "$scenario" = setup ]; then
        grep -qx '< ATE0' modem.out && grep -qx '< ATV1' modem.out || fail "no set-up one by one"
    fi
    ;;
not-ready)
    # A card that is there but never ready: the run says why when its time is up and signs in
    # nothing (the plug-in would sign in its made-up identity).
    for state in sim-pin sim-puk no-sim mute; do
        case "$state" in
        sim-pin) setting="pin sim-pin" why='SIM PIN required \(10302\)' ;;
        sim-puk) setting="pin sim-puk" why='SIM PUK required \(10303\)' ;;
        no-sim) setting="sim no" why='no SIM \(10301\)' ;;
        mute) setting="results AT+CPIN -1" why='time-out \(10003\)' ;;
        esac
        start_modem "imsi $IMSI" "spn-gsm CMCC" "$setting"
        run_out_of_time "$state" 8
        grep -qE "^card +not ready: $why; no StartLogin without a ready SIM\$" run.out.txt ||
            fail "$state: not said why"
        grep -q '^start ' run.out.txt && fail "$state: StartLogin for a card not ready"
        stop_modem
    done
    [ "$(logins)" -eq 0 ] || fail "a login for a card not ready"
    grep -q 'POST /register' server.log && fail "a registration for a card not ready"
    ;;
timeout-start)
    # The SPN read as the login object is made goes unanswered, so the plug-in asks again and
    # again for minutes: the run's time-out still ends it.
    start_modem "imsi $IMSI" "spn-gsm CMCC" "results AT+CRSM -1"
    run_out_of_time "$scenario" 6
    # A script's waits too.
    printf 'wait-event 50082 600\nsleep 600\n' >run.script
    run_out_of_time "$scenario script" 5 --script run.script
    ;;
flood)
    # A port that writes without pause once the SPN is read: a broken device, said once; the
    # time-out holds, and so does an interrupt.
    start_modem "imsi $IMSI" "spn-gsm CMCC" "flood AT+CRSM"
    run_out_of_time "$scenario" 8
    [ "$(grep -c '^card .* a broken device (10305)' run.out.txt)" -eq 1 ] ||
        fail "the flood not said once"
    grep -qE '^card +not ready: unexpected answer \(10305\); ' run.out.txt || fail "not said why"
    grep -q 'DEVGetSimBrand() time out' norvamts_trace_0.log && fail "the flood read as a time-out"
    grep -q '^start ' run.out.txt && fail "StartLogin for a flooding card"
    stop_modem
    start_modem "imsi $IMSI" "spn-gsm CMCC" "flood AT+CPIN"
    run_host int.out run --profile profile --json
    wait_for modem.out '^< AT\+CPIN\?'
    t0=$(date +%s.%N)
    kill -INT "$host_pid"
    host_done int.out
    echo "figure: flood: SIGINT to exit $(since "$t0") s"
    grep -qx 'stop      interrupted' int.out.txt || fail "the interrupt not reported"
    ;;
held)
    # Another program holds the port: the host says so and loads nothing.
    start_modem "imsi $IMSI"
    exec 8<>"$work/ttyModem"
    flock -x -n 8 || fail "cannot take the lock for the test"
    run_host run.out run --profile profile --json
    host_done run.out
    [ "$status" -eq 2 ] || fail "exit status $status, not 2"
    grep -q "card.ini: .*held by another program" run.out.err || fail "no clear message"
    exec 8>&-
    ;;
*)
    fail "unknown scenario"
    ;;
esac
echo "PASSED: $scenario"
