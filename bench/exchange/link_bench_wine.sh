#!/bin/sh
# The link benchmark on the WinINet face: the native account server and fault proxy, the Windows
# program under Wine (link_bench_wine.exe), and a bare client (curl, one kept connection) for the
# same two POSTs at each round trip. The default mode only: strict mode trusts the system's store
# on this face.
#
#   link_bench_wine.sh ACCOUNT_SERVER LINK_BENCH_WINE_EXE [round trip in ms...]
set -u
server=$1
program=$2
shift 2
[ $# -gt 0 ] || set -- 0 300 600
here=$(dirname "$0")
work=$(mktemp -d)
pids=
trap 'for pid in $pids; do kill "$pid" 2>/dev/null; done; wait; rm -rf "$work"' EXIT

mkfifo "$work/server"
"$server" --port 0 --cert-out "$work/server.pem" >"$work/server" 2>"$work/server.log" &
pids="$pids $!"
read -r word port <"$work/server"
[ "$word" = port ] || { echo "account-server did not start" >&2; exit 1; }

for rtt in "$@"; do
    mkfifo "$work/proxy$rtt"
    python3 "$here/../../tests/support/fault_proxy.py" --target "$port" \
        --delay-ms $((rtt / 2)) --up-kbit 384 --count-file "$work/counts$rtt" \
        >"$work/proxy$rtt" 2>&1 &
    proxy=$!
    pids="$pids $proxy"
    link=
    while read -r word fault number; do
        [ "$word $fault" = "port link" ] && link=$number
        [ "$word" = ready ] && break
    done <"$work/proxy$rtt"
    echo "== round trip $rtt ms (WinINet face under Wine)"
    wine "$program" "https://127.0.0.1:$link" "Z:$work/server.pem" "Z:$work/counts$rtt" 2>/dev/null
    for mode in default; do
        trust=-k
        [ $mode = strict ] && trust="--cacert $work/server.pem"
        before=$(cat "$work/counts$rtt")
        # shellcheck disable=SC2086
        time=$(curl -s -o /dev/null $trust -w '%{time_total}\n' \
            -d "cid=460001234567892&ctype=CMCC" "https://127.0.0.1:$link/register" --next \
            -s -o /dev/null $trust -w '%{time_total}\n' \
            -d "cid=460001234567892&pass=x&ctype=CMCC" "https://127.0.0.1:$link/login" |
            awk '{ total += $1 } END { printf "%.3f", total }')
        echo "$mode  bare (curl, one connection, register + login) $time s  counts before: $before  after: $(cat "$work/counts$rtt")"
    done
    kill "$proxy" 2>/dev/null
done
