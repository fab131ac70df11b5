#!/bin/sh
# Runs the login test program (under Wine) with the native account servers its tests talk to,
# and stops them afterwards. Ports reach the program in LOGIN_TEST_*_PORT variables; without
# LOGIN_ACCOUNT_SERVER the program runs alone and skips the tests that need a server.
set -u

server=${LOGIN_ACCOUNT_SERVER:-}
if [ -z "$server" ] || [ ! -x "$server" ]; then
    echo "with_servers.sh: LOGIN_ACCOUNT_SERVER does not name the native account-server"
    exec "$@"
fi

work=$(mktemp -d)
pids=
stop() {
    for pid in $pids; do kill "$pid" 2>/dev/null; done
    wait
    rm -rf "$work"
}
trap stop EXIT
trap 'exit 1' INT TERM

# start_server VARIABLE [switch...]: an account server whose port goes into VARIABLE.
start_server() {
    variable=$1
    shift
    mkfifo "$work/$variable"
    "$server" --port 0 "$@" >"$work/$variable" 2>"$work/$variable.log" &
    pids="$pids $!"
    read -r word port <"$work/$variable" || word=
    if [ "$word" != port ]; then
        echo "with_servers.sh: account-server $* did not start" >&2
        exit 1
    fi
    export "$variable=$port"
    # The server's log, for a test that waits until its request is held.
    export "${variable%_PORT}_LOG=$work/$variable.log"
}

start_server LOGIN_TEST_SERVER_PORT
start_server LOGIN_TEST_CODE3_PORT --login-code 3
start_server LOGIN_TEST_CODE7_PORT --login-code 7
start_server LOGIN_TEST_MISMATCH_PORT --cert-name other.example
start_server LOGIN_TEST_PLAIN_PORT --plain
start_server LOGIN_TEST_UNSIZED_PORT --pad-to 20000 --framing close
start_server LOGIN_TEST_HANG_PORT --hang

"$@"
exit $?
