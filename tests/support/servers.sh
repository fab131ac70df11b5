# Shell functions for the Windows test wrappers: a test program under Wine gets the native loopback
# servers it talks to (Wine cannot start and stop native programs for it). The account server is
# the one LOGIN_ACCOUNT_SERVER names; without it the program runs alone and skips those tests.
# Ports (and server logs) reach the program in LOGIN_TEST_* variables; all stop on exit, and
# end with this shell even when it is killed (the kernel's parent-death signal, set by setpriv).

server=${LOGIN_ACCOUNT_SERVER:-}
if [ -z "$server" ] || [ ! -x "$server" ]; then
    echo "servers.sh: LOGIN_ACCOUNT_SERVER does not name the native account-server"
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

# start_server VARIABLE [switch...]: an account server whose port goes into VARIABLE and whose log
# is named by VARIABLE less _PORT plus _LOG.
start_server() {
    variable=$1
    shift
    mkfifo "$work/$variable"
    setpriv --pdeathsig TERM -- "$server" --port 0 "$@" >"$work/$variable" 2>"$work/$variable.log" &
    pids="$pids $!"
    read -r word port <"$work/$variable" || word=
    if [ "$word" != port ]; then
        echo "servers.sh: account-server $* did not start" >&2
        exit 1
    fi
    export "$variable=$port"
    export "${variable%_PORT}_LOG=$work/$variable.log"
}

# start_proxy USER PASSWORD CONNECT_PORT: tinyproxy asking for Basic credentials, on a free port
# (LOGIN_TEST_PROXY_PORT). Its log is drained all along; the drainer tells when it listens.
start_proxy() {
    for attempt in 1 2 3 4 5; do
        port=$((20000 + $(od -An -N2 -tu2 /dev/urandom) % 40000))
        cat >"$work/tinyproxy.conf" <<CONF
Port $port
Listen 127.0.0.1
Timeout 60
MaxClients 16
LogLevel Info
Allow 127.0.0.1
DisableViaHeader Yes
BasicAuth $1 $2
ConnectPort $3
CONF
        mkfifo "$work/log$attempt" "$work/ready$attempt"
        setpriv --pdeathsig TERM -- tinyproxy -d -c "$work/tinyproxy.conf" >"$work/log$attempt" 2>&1 &
        pids="$pids $!"
        {
            while read -r line; do
                case $line in *"Accepting connections"*) echo ready >&3 ;; esac
            done <"$work/log$attempt"
        } 3>"$work/ready$attempt" &
        pids="$pids $!"
        read -r state <"$work/ready$attempt" || state=
        if [ "$state" = ready ]; then
            export LOGIN_TEST_PROXY_PORT=$port
            return 0
        fi
    done
    echo "servers.sh: tinyproxy did not start" >&2
    exit 1
}

# start_squid KIND [USER PASSWORD]...: squid of that kind (squid_peer.py) with its files under the
# run's directory; its port goes into LOGIN_TEST_SQUID_<KIND>_PORT, its access log's path into
# LOGIN_TEST_SQUID_<KIND>_LOG.
start_squid() {
    kind=$1
    name=$(echo "$kind" | tr a-z A-Z)
    mkfifo "$work/squid-$kind.out"
    setpriv --pdeathsig TERM -- python3 "$(dirname "$0")/../../support/squid_peer.py" \
        "$work" "$@" >"$work/squid-$kind.out" 2>"$work/squid-$kind.err" &
    pids="$pids $!"
    {
        read -r word port && read -r word2 log
    } <"$work/squid-$kind.out" || word=
    if [ "$word" != port ] || [ "$word2" != log ]; then
        echo "servers.sh: squid $kind did not start" >&2
        cat "$work/squid-$kind.err" >&2
        exit 1
    fi
    export "LOGIN_TEST_SQUID_${name}_PORT=$port"
    export "LOGIN_TEST_SQUID_${name}_LOG=$log"
}
