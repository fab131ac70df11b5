#!/bin/sh
# Runs an HTTPS client test program with the servers its common cases talk to.
set -u
. "$(dirname "$0")/../../support/servers.sh"

# A server reached only through tinyproxy, which asks for credentials.
start_server LOGIN_TEST_PROXIED_PORT
start_proxy user s3cret "$LOGIN_TEST_PROXIED_PORT"
# Redirects: a target to follow to, a plain server that must receive nothing, and servers that
# answer with a 307 to one of them.
start_server LOGIN_TEST_TARGET_PORT
start_server LOGIN_TEST_FORBIDDEN_PORT --plain
start_server LOGIN_TEST_TO_HTTP_PORT \
    --redirect-to "http://127.0.0.1:$LOGIN_TEST_FORBIDDEN_PORT/register"
start_server LOGIN_TEST_TO_OTHER_HOST_PORT \
    --redirect-to "https://localhost:$LOGIN_TEST_FORBIDDEN_PORT/register"
start_server LOGIN_TEST_TO_SAME_HOST_PORT \
    --redirect-to "https://127.0.0.1:$LOGIN_TEST_TARGET_PORT/register"
start_server LOGIN_TEST_TO_TARGET_BY_NAME_PORT \
    --redirect-to "https://localhost:$LOGIN_TEST_TARGET_PORT/register"
start_server LOGIN_TEST_LONG_PORT --pad-to 1048577

"$@"
exit $?
