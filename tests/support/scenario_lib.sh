# Sourced by the scenario scripts (bash, set -euo pipefail): a host directory of the scenario's
# own, the native account server and tinyproxy on loopback, waiting for what a program prints,
# the host's JSON line, and stopping everything on the way out. The caller sets `scenario` (for
# messages) and may define on_stop, run first when the script ends.
readonly SKIP=77
server_bin=${LOGIN_ACCOUNT_SERVER:-}

fail() {
    echo "FAILED: $scenario: $*" >&2
    exit 1
}

# need_server: skips the scenario when no native account server is named.
need_server() {
    if [ -z "$server_bin" ] || [ ! -x "$server_bin" ]; then
        echo "SKIPPED: LOGIN_ACCOUNT_SERVER does not name the native account-server"
        exit $SKIP
    fi
}

# host_dir WORK LOGINHOST PLUGIN: WORK made afresh with host/ (a copy of the host and the
# plug-in, so that scenarios may run side by side), profile/ and keys/; the current directory
# from then on. $host is the copied host. The plug-in's registry store (Linux) is WORK/registry;
# under Wine the prefix's registry serves.
host_dir() {
    rm -rf "$1"
    mkdir -p "$1/host" "$1/profile" "$1/keys"
    cp "$2" "$3" "$1/host/"
    host="$1/host/$(basename "$2")"
    cd "$1"
    export LOGINPLUGIN_REGISTRY="$1/registry"
}

pids=()
on_stop() { :; }
# Everything started is asked to stop, and killed when it has not after five seconds.
stop_all() {
    local pid left
    on_stop
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for _ in $(seq 50); do
        left=
        for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && left=1; done
        [ -z "$left" ] && break
        sleep 0.1
    done
    for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap stop_all EXIT
trap 'exit 1' INT TERM

# start_server NAME [switch...]: an account server logging its requests to NAME.log; its port
# goes into the variable NAME_port. With PORT set, it listens there.
start_server() {
    local name=$1 word port
    shift
    need_server
    rm -f "$name.fifo"
    mkfifo "$name.fifo"
    "$server_bin" --port "${PORT:-0}" "$@" >"$name.fifo" 2>>"$name.log" &
    pids+=($!)
    eval "${name}_pid=$!"
    read -r word port <"$name.fifo" || word=
    [ "$word" = port ] || fail "account-server $* did not start"
    eval "${name}_port=$port"
}

# kill_server NAME: ends a server at once, its port left free.
kill_server() {
    local pid
    eval "pid=\$${1}_pid"
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# start_proxy USER PASSWORD CONNECT_PORT: tinyproxy asking for Basic credentials on a free port
# (proxy_port), allowing CONNECT to CONNECT_PORT only; its log in proxy.log.
start_proxy() {
    local attempt
    for attempt in 1 2 3 4 5; do
        proxy_port=$((20000 + $(od -An -N2 -tu2 /dev/urandom) % 40000))
        cat >tinyproxy.conf <<CONF
Port $proxy_port
Listen 127.0.0.1
Timeout 60
MaxClients 16
LogLevel Info
Allow 127.0.0.1
DisableViaHeader Yes
BasicAuth $1 $2
ConnectPort $3
CONF
        : >proxy.log
        tinyproxy -d -c tinyproxy.conf >>proxy.log 2>&1 &
        pids+=($!)
        for _ in $(seq 50); do
            grep -q "Accepting connections" proxy.log && return 0
            grep -q "Could not create listening sockets" proxy.log && break
            sleep 0.1
        done
    done
    fail "tinyproxy did not start"
}

# wait_for FILE PATTERN: until a line of FILE (without a Windows program's carriage returns)
# matches the extended pattern; the programs print what they do.
wait_for() {
    for _ in $(seq 600); do
        tr -d '\r' <"$1" | grep -qE "$2" && return 0
        sleep 0.05
    done
    fail "$1 never printed /$2/"
}

# json FILE FIELD: a field of the JSON object on the last line of FILE (texts without quotes).
json() {
    tail -n 1 "$1" | sed -nE "s/.*\"$2\":(\"([^\"]*)\"|([^,}\"]*)).*/\2\3/p"
}

# write_urls PORT: profile/system.ini with the server's URLs on loopback and the key directory.
write_urls() {
    cat >profile/system.ini <<INI
[LOGIN]
URL=https://127.0.0.1:$1/login
[REGISTER]
URL=https://127.0.0.1:$1/register
[CURRENT_USER_PRIVATE_DIR]
PATH=keys/
INI
}
