# Shell functions of the package tests (sourced): the account server and the sample host's INI.

fail() {
    echo "$(basename "$0"): $*" >&2
    exit 1
}

# start_account_server PROGRAM WORK: the server on a free port, stopped when the shell exits; its
# first line names the port, which goes into $port.
start_account_server() {
    mkfifo "$2/server.out"
    "$1" --port 0 >"$2/server.out" 2>"$2/server.log" &
    server_pid=$!
    trap 'kill $server_pid 2>/dev/null; wait $server_pid 2>/dev/null || true' EXIT
    read -r word port <"$2/server.out" || fail "account-server did not start"
    [ "$word" = port ] || fail "account-server said '$word $port'"
}

# write_host_ini FILE KEY_DIR IMSI: the sample host's settings for the server on $port.
write_host_ini() {
    cat >"$1" <<INI
[LOGIN]
URL=https://127.0.0.1:$port/login
[REGISTER]
URL=https://127.0.0.1:$port/register
[CURRENT_USER_PRIVATE_DIR]
PATH=$2
[card]
imsi=$3
spn=CMCC
[host]
timeout=120
INI
}

# expect_login OUTPUT_FILE STATUS: the sample's status and its session line.
expect_login() {
    cat "$1"
    [ "$2" -eq 0 ] || fail "the sample host did not log in (status $2)"
    grep -q '^logged in: session [0-9a-f]\{32\}' "$1" || fail "no session printed"
}
