#!/usr/bin/env bash
# Scenarios of the whole system: the reference host (loginhost, driven by its scripts) loads the
# plug-in, which signs SIMs in to the account server on loopback, directly or through tinyproxy.
# Each scenario asserts on the host's JSON result and output lines and on the server's request
# log. The servers are native programs started here, so the same script drives the Windows build
# under Wine.
#
# usage: scenarios.sh SCENARIO LOGINHOST PLUGIN WORKDIR [RUNNER...]
#   LOGINHOST, PLUGIN  the built host program and plug-in library; they are copied into a host
#                      directory of the scenario's own, where the plug-in also finds its brand
#                      table, so that scenarios may run side by side
#   RUNNER             what runs the host (empty natively, "wine" for the Windows build)
#   LOGIN_ACCOUNT_SERVER names the native account server; without it the scenario is skipped.
set -euo pipefail
scenario=$1 host_src=$2 plugin_src=$3 work=$4
shift 4
runner=("$@")
data="$(cd "$(dirname "$0")/../../data/scenarios" && pwd)"

readonly IMSI_A=460001234567890 IMSI_B=460009876543210
. "$(dirname "$0")/../../support/scenario_lib.sh"
host_dir "$work" "$host_src" "$plugin_src"

# run_host OUT [argument...]: runs the host; its output (without the carriage returns of a
# Windows program) in OUT, its error output in OUT.err, its exit status in $status. An
# expectation of a script that failed fails the scenario.
run_host() {
    local out=$1
    shift
    status=0
    "${runner[@]}" "$host" "$@" >"$out.raw" 2>"$out.err" || status=$?
    tr -d '\r' <"$out.raw" >"$out"
    echo "--- loginhost $* (status $status)"
    cat "$out"
    tr -d '\r' <"$out.err" >&2
    if grep -q 'expect    FAILED' "$out"; then fail "$out: an expectation of the script failed"; fi
}

expect_json() {  # OUT FIELD VALUE
    local got
    got=$(json "$1" "$2")
    [ "$got" = "$3" ] || fail "$1: $2 is '$got', not '$3'"
}

# The requests the server received, one a line: "register CID", "login CID PASSWORD".
requests() {  # LOG
    sed -nE 's/^account-server: POST \/(register|login) \[cid=([^&]*)(&pass=([^&]*))?.*\] -> .*$/\1 \2 \4/p' "$1" |
        sed 's/ *$//'
}

expect_requests() {  # LOG EXPECTED
    local got
    got=$(requests "$1")
    [ "$got" = "$2" ] || fail "the server received:
$got
and not:
$2"
}

line_of() {  # OUT PATTERN: the number of the first line matching the extended pattern
    grep -nE "$2" "$1" | head -n 1 | cut -d: -f1
}

write_profile() {  # PORT [IMSI]
    write_urls "$1"
    printf '[card]\nimsi=%s\nspn=CMCC\n' "${2:-$IMSI_A}" >profile/card.ini
}

expect_logged_in() {  # OUT IMSI
    [ "$status" -eq 0 ] || fail "$1: exit status $status"
    expect_json "$1" login true
    expect_json "$1" error 0
    expect_json "$1" imsi "$2"
    [[ "$(json "$1" encodekey)" =~ ^[0-9a-f]{16}$ ]] || fail "$1: no encode key"
    [[ "$(json "$1" sessionid)" =~ ^[0-9a-f]{32}$ ]] || fail "$1: no session id"
    [ -n "$(json "$1" password)" ] || fail "$1: no password"
    grep -qx 'shutdown  OnDestroy, Release' "$1" || fail "$1: no clean shutdown"
}

case "$scenario" in
first-start)
    # No password yet: the plug-in registers the SIM, stores the password and logs in.
    start_server server
    write_profile "$server_port"
    run_host run.out run --profile profile --json --timeout 30
    expect_logged_in run.out "$IMSI_A"
    password=$(json run.out password)
    expect_requests server.log "register $IMSI_A
login $IMSI_A $password"
    registering=$(line_of run.out "^progress +\+[0-9.]+s registering at https://127.0.0.1:$server_port/register$")
    logging_in=$(line_of run.out "^progress +\+[0-9.]+s logging in at https://127.0.0.1:$server_port/login$")
    [ -n "$registering" ] && [ -n "$logging_in" ] && [ "$registering" -lt "$logging_in" ] ||
        fail "no progress lines for the registration and then the login"
    grep -qE '^event +50082 to 1 listener\(s\)$' run.out || fail "no device event"
    [ -s keys/Key.dtc ] || fail "no key file"
    grep -q "$password" keys/Key.dtc || fail "the key file does not hold the password"
    ;;
restart)
    # The second start takes the stored password: a login and no registration.
    start_server server
    write_profile "$server_port"
    run_host run1.out run --profile profile --json --timeout 30
    expect_logged_in run1.out "$IMSI_A"
    run_host run2.out run --profile profile --json --timeout 30
    expect_logged_in run2.out "$IMSI_A"
    password=$(json run1.out password)
    expect_json run2.out password "$password"
    [ "$(json run1.out sessionid)" != "$(json run2.out sessionid)" ] || fail "the same session twice"
    grep -q registering run2.out && fail "the second start registered"
    expect_requests server.log "register $IMSI_A
login $IMSI_A $password
login $IMSI_A $password"
    ;;
sim-swap)
    start_server server
    write_profile "$server_port"
    run_host run.out run --profile profile --script "$data/sim-swap.script" --json --timeout 30
    expect_logged_in run.out "$IMSI_B"
    password_a=$(requests server.log | sed -n 2p | cut -d' ' -f3)
    password_b=$(json run.out password)
    [ "$password_a" != "$password_b" ] || fail "B has A's password"
    # A's return asked the server nothing; B was refused under A's password and registered.
    expect_requests server.log "register $IMSI_A
login $IMSI_A $password_a
login $IMSI_B $password_a
register $IMSI_B
login $IMSI_B $password_b"
    ;;
refusal-once)
    # The server refuses the first login with code 3: the plug-in registers again and logs in
    # within the same sequence.
    start_server server --login-code 3 --login-code-once
    write_profile "$server_port"
    run_host run.out run --profile profile --json --timeout 30
    expect_logged_in run.out "$IMSI_A"
    first=$(requests server.log | sed -n 2p | cut -d' ' -f3)
    second=$(json run.out password)
    [ "$first" != "$second" ] || fail "the second registration gave the same password"
    expect_requests server.log "register $IMSI_A
login $IMSI_A $first
register $IMSI_A
login $IMSI_A $second"
    [ "$(grep -c 'registering at' run.out)" -eq 2 ] || fail "not two registrations in the output"
    ;;
refusal-always)
    # Every login refused with 3: one more registration and login, then the sequence gives up
    # until the next period.
    # The host names the trace directory: the plug-in writes there, and the host reads it there.
    start_server server --login-code 3
    write_profile "$server_port"
    mkdir -p traces
    export LOGINPLUGIN_TRACE_DIR=traces
    run_host run.out run --profile profile --script "$data/refusal-always.script" --json
    unset LOGINPLUGIN_TRACE_DIR
    [ "$status" -eq 1 ] || fail "exit status $status, not 1"
    grep -q 'ERRO LoginPlguin .* DoLoginServer failed!' traces/norvamts_trace_0.log ||
        fail "no trace file in the named directory"
    [ ! -e norvamts_trace_0.log ] || fail "a trace file in the current directory"
    expect_json run.out login false
    expect_json run.out error 3
    expect_json run.out password ""
    grep -qE '^trace +\+[0-9.]+s ERRO DoLoginServer failed!$' run.out || fail "no trace of the failure"
    grep -qE '^progress +\+[0-9.]+s state 3 \(server: wrong password\)$' run.out ||
        fail "no progress line with the state"
    n=$(requests server.log | wc -l)
    [ "$n" -eq 4 ] || fail "$n requests, not 4"
    ;;
network-state)
    start_server server
    write_profile "$server_port"
    run_host run.out run --profile profile --script "$data/network-state.script" --json --timeout 30
    expect_logged_in run.out "$IMSI_A"
    free=$(line_of run.out '^net +connect_state=0$')
    registering=$(line_of run.out '^progress .* registering at ')
    [ -n "$free" ] && [ -n "$registering" ] && [ "$free" -lt "$registering" ] ||
        fail "the login began while the host reported state 2"
    ;;
skin)
    # The table is encoded with the profile's own key; the settings the switch writes go back
    # into the profile, which keeps its text, and the next run finds the brand's type stored.
    start_server server
    write_profile "$server_port"
    run_host key.out encrypt "integration table key"
    printf '; written by the test\n[CRYPT]\nCRYPT=%s\n[SIMTYPE]\nACTIVE=2\n' "$(tail -n 1 key.out)" \
        >>profile/system.ini
    run_host encode.out encode-table "$data/brand-table.xml" host/SIMBrandInfo.xml --profile profile
    [ "$status" -eq 0 ] || fail "encode-table exited with $status"
    cmp -s "$data/brand-table.xml" host/SIMBrandInfo.xml && fail "the table was written as plain text"
    run_host run.out run --profile profile --script "$data/skin.script" --json --timeout 30
    expect_logged_in run.out "$IMSI_A"
    grep -E '^(skin|set-sys) ' run.out >skin.out || true
    cat >skin.expected <<'OUT'
set-sys   SIMTYPE/ACTIVE=3
set-sys   SKIN/ACTIVE=skins\移动
skin      simtype=3 name=CMCC
skin      simtype=3 name=CMCC listener=dialog
set-sys   SIMTYPE/ACTIVE=5
set-sys   SKIN/ACTIVE=skins\other
skin      simtype=5 name=other,其他
skin      simtype=5 name=other,其他 listener=dialog
set-sys   SIMTYPE/ACTIVE=3
set-sys   SKIN/ACTIVE=skins\移动
skin      simtype=3 name=CMCC,中国移动
skin      simtype=3 name=CMCC,中国移动 listener=dialog
skin      simtype=3 name=CMCC,中国移动 listener=dialog
set-sys   SIMTYPE/ACTIVE=5
set-sys   SKIN/ACTIVE=skins\other
skin      simtype=5 name=other,其他
OUT
    diff skin.expected skin.out || fail "the skin switches printed other lines"
    tr -d '\r' <profile/system.ini >system.out
    grep -qx '; written by the test' system.out || fail "system.ini lost its comment"
    sed -n '/^\[SIMTYPE\]/,/^\[/p' system.out | grep -qx 'ACTIVE=5' ||
        fail "SIMTYPE not stored in the profile"
    sed -n '/^\[SKIN\]/,/^\[/p' system.out | grep -qx 'ACTIVE=skins\\other' ||
        fail "SKIN not stored in the profile"
    # Stored as the card's brand, the next run switches nothing.
    sed -i 's/^ACTIVE=5/ACTIVE=3/' profile/system.ini
    run_host again.out run --profile profile --json --timeout 30
    grep -q '^event ' again.out || fail "no device event in the second run"
    grep -qE '^(set-sys|skin) ' again.out && fail "the stored brand switched the skin again"
    ;;
proxy)
    # The proxy of the user's settings asks for Basic credentials; the password is stored
    # enciphered by the host's crypt plug-in.
    start_server server
    start_proxy user s3cret "$server_port"
    write_profile "$server_port"
    run_host key.out encrypt s3cret
    sealed=$(tail -n 1 key.out)
    [ -n "$sealed" ] && [ "$sealed" != s3cret ] || fail "loginhost encrypt gave no cipher text"
    printf '[PROXY]\nTYPE=1\nADDRESS=127.0.0.1\nPORT=%s\nUSER=user\nPASSWORD=%s\n' \
        "$proxy_port" "$sealed" >profile/user.ini
    run_host run.out run --profile profile --script "$data/proxy.script" --json --timeout 30
    grep -qx "query     4: proxy type=1 address=127.0.0.1 port=$proxy_port user=user password=s3cret" run.out ||
        fail "the proxy information is not the profile's"
    expect_logged_in run.out "$IMSI_A"
    n=$(grep -c "CONNECT 127.0.0.1:$server_port" proxy.log || true)
    [ "$n" -ge 2 ] || fail "the proxy carried $n exchanges, not the registration and the login"
    expect_requests server.log "register $IMSI_A
login $IMSI_A $(json run.out password)"
    # With a wrong password the proxy lets nothing through.
    printf '[PROXY]\nTYPE=1\nADDRESS=127.0.0.1\nPORT=%s\nUSER=user\nPASSWORD=%s\n' \
        "$proxy_port" "$(tail -n 1 key.out | tr 0-9a-f 1-9a-f0)" >profile/user.ini
    rm -f keys/Key.dtc
    run_host wrong.out run --profile profile --script "$data/proxy-refused.script" --json
    [ "$status" -eq 1 ] || fail "a wrong proxy password: exit status $status"
    expect_json wrong.out login false
    [ "$(requests server.log | wc -l)" -eq 2 ] || fail "a request passed the proxy without credentials"
    ;;
strict)
    # Strict mode: a self-signed certificate is refused at the first send; natively (WinINet
    # trusts the system's store only) one signed by the CA that the profile names logs in, and an
    # unreadable reply leaves the password out of the trace.
    start_server selfsigned
    write_profile "$selfsigned_port"
    printf '[SECURITY]\nSTRICT=1\n' >>profile/system.ini
    run_host self.out run --profile profile --script "$data/strict-refused.script" --json
    [ "$status" -eq 1 ] || fail "self-signed: exit status $status, not 1"
    grep -qx "security  strict" self.out || fail "no start line of the mode"
    expect_json self.out error 12045
    grep -qE '^trace +\+[0-9.]+s ERRO HttpSendRequest\(\) certificate refused : 12045$' self.out ||
        fail "no trace of the refused certificate"
    [ "$(requests selfsigned.log | wc -l)" -eq 0 ] || fail "the self-signed server got a request"
    if [ ${#runner[@]} -eq 0 ]; then
        start_server server --ca-out ca.pem
        start_server broken --ca-out ca2.pem --not-xml
        write_profile "$server_port"
        printf '[SECURITY]\nSTRICT=1\nCAFILE=%s\n' "$PWD/ca.pem" >>profile/system.ini
        run_host run.out run --profile profile --json --timeout 30
        expect_logged_in run.out "$IMSI_A"
        grep -qx "security  strict, CAFILE=$PWD/ca.pem" run.out || fail "no start line of the CA file"
        password=$(json run.out password)
        write_profile "$broken_port"
        printf '[SECURITY]\nSTRICT=1\nCAFILE=%s\n' "$PWD/ca2.pem" >>profile/system.ini
        run_host broken.out run --profile profile --script "$data/strict-unreadable.script" --json
        [ "$status" -eq 1 ] || fail "unreadable reply: exit status $status, not 1"
        grep -q "pass=$password" broken.log || fail "the stored password was not sent"
        grep -qF "$password" norvamts_trace_0.log broken.out && fail "the password is in the trace"
    fi
    ;;
server-comes-back)
    # The server is down at the first attempt and comes back; the retry at the end of the
    # plug-in's 60-second period logs in. Real time.
    start_server probe
    kill_server probe
    write_profile "$probe_port"
    "${runner[@]}" "$host" run --profile profile --json --timeout 100 >run.raw 2>run.err &
    host_pid=$!
    pids+=($host_pid)
    for _ in $(seq 300); do
        grep -q '^progress .* state 12029 (cannot connect)' run.raw && break
        kill -0 "$host_pid" 2>/dev/null || break
        sleep 0.1
    done
    grep -q '^progress .* state 12029 (cannot connect)' run.raw || fail "the first attempt did not fail"
    PORT=$probe_port start_server server
    status=0
    wait "$host_pid" || status=$?
    tr -d '\r' <run.raw >run.out
    cat run.out
    expect_logged_in run.out "$IMSI_A"
    at=$(sed -nE 's/^progress +\+([0-9]+)\.[0-9]s logged in$/\1/p' run.out | head -n 1)
    [ -n "$at" ] && [ "$at" -ge 59 ] && [ "$at" -le 75 ] ||
        fail "logged in at ${at:-?} s, not by the retry after 60 s"
    expect_requests server.log "register $IMSI_A
login $IMSI_A $(json run.out password)"
    ;;
demo)
    # loginhost demo: natively it starts the account server found beside it; the Windows build
    # uses one that runs already.
    if [ ${#runner[@]} -eq 0 ]; then
        need_server
        cp "$server_bin" host/account-server
        run_host demo.out demo --json
    else
        start_server server
        run_host demo.out demo --json --server-port "$server_port"
        [ "$(requests server.log | wc -l)" -eq 2 ] || fail "the server did not see a registration and a login"
    fi
    [ "$status" -eq 0 ] || fail "exit status $status"
    expect_json demo.out login true
    grep -qE '^server +POST /register \[cid=460001234567890&ctype=DEMO\] -> 200$' demo.out ||
        [ ${#runner[@]} -gt 0 ] || fail "the demo did not show the server's requests"
    grep -qE '^skin +simtype=3 name=DEMO$' demo.out || fail "the demo did not switch the skin"
    grep -qE '^demo +logged in as 460001234567890 in [0-9.]+ s$' demo.out || fail "no summary"
    dir=$(sed -nE 's/^==> a fresh profile in (.*)$/\1/p' demo.out)
    if [ ${#runner[@]} -eq 0 ]; then
        [ -n "$dir" ] && [ ! -e "$dir" ] || fail "the demo left $dir behind"
    fi
    [ ! -e host/SIMBrandInfo.xml ] || fail "the demo left its brand table behind"
    ;;
bad-script)
    # A step the host does not know: the file and line are named and the plug-in is not loaded.
    run_host run.out run --profile profile --script "$data/bad-step.script"
    [ "$status" -eq 2 ] || fail "exit status $status, not 2"
    grep -q "bad-step.script:4: unknown step 'jump'" run.out.err || fail "the error does not name the line"
    grep -q '^plugin ' run.out && fail "the plug-in was loaded"
    ;;
*)
    fail "unknown scenario"
    ;;
esac
echo "PASSED: $scenario"
