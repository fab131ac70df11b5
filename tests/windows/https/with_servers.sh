#!/bin/sh
# Runs the WinINet client's test program with the servers it talks to.
set -u
. "$(dirname "$0")/../../support/servers.sh"

start_server LOGIN_TEST_SERVER_PORT
# WinINet keeps connections and certificate decisions per server for the process: the proxied
# exchange gets a server of its own.
start_server LOGIN_TEST_PROXIED_PORT
start_proxy user s3cret "$LOGIN_TEST_PROXIED_PORT"

"$@"
exit $?
