#!/bin/sh
# Runs the fault table's program with the servers and the fault-injecting proxy it talks to: an
# account server behind the proxy (a padded reply, so that its body spans several records), and
# servers that answer as a captive portal, an overloaded server, a self-redirect and a reply that
# claims 4 GB. Each writes its certificate, for the cases in strict mode.
set -u
. "$(dirname "$0")/../../support/servers.sh"

start_server LOGIN_TEST_FAULT_SERVER_PORT --no-tickets --pad-to 20000 \
    --cert-out "$work/server.pem"
start_server LOGIN_TEST_PORTAL_PORT --captive-portal --cert-out "$work/portal.pem"
start_server LOGIN_TEST_OVERLOADED_PORT --overloaded --cert-out "$work/overloaded.pem"
start_server LOGIN_TEST_SELF_REDIRECT_PORT --redirect-self
start_server LOGIN_TEST_CLAIM_PORT --claim-length 4000000000 --hang
start_server LOGIN_TEST_REDIRECT_AWAY_PORT --redirect-to "https://localhost:1/secret-path" \
    --cert-out "$work/away.pem"
export LOGIN_TEST_CERT_DIR="$work"

# The proxy prints "port FAULT N" for each fault, then "ready".
mkfifo "$work/proxy"
setpriv --pdeathsig TERM -- python3 "$(dirname "$0")/../../support/fault_proxy.py" \
    --target "$LOGIN_TEST_FAULT_SERVER_PORT" >"$work/proxy" 2>"$work/proxy.log" &
pids="$pids $!"
exec 3<"$work/proxy"
while read -r word fault port <&3; do
    case $word in
    port)
        variable=$(echo "$fault" | tr 'a-z-' 'A-Z_')
        export "LOGIN_TEST_FAULT_${variable}_PORT=$port"
        ;;
    ready) break ;;
    *) echo "with_faults.sh: unexpected proxy output: $word $fault $port" >&2 ;;
    esac
done
if [ -z "${LOGIN_TEST_FAULT_PASS_PORT:-}" ]; then
    echo "with_faults.sh: the fault proxy did not start" >&2
    exit 1
fi
# The proxy's reports are drained, so that it never blocks on a full pipe.
cat <&3 >>"$work/proxy.log" &
pids="$pids $!"
exec 3<&-

"$@"
exit $?
