#!/bin/sh
# Runs an HTTPS client test program with the servers its common cases talk to.
set -u
. "$(dirname "$0")/../../support/servers.sh"

# A server reached only through tinyproxy, which asks for credentials.
start_server LOGIN_TEST_PROXIED_PORT
start_proxy user s3cret "$LOGIN_TEST_PROXIED_PORT"
# Redirects: a target to follow to, servers that must receive nothing, and servers that
# answer with a 307 to one of them.
start_server LOGIN_TEST_TARGET_PORT
start_server LOGIN_TEST_FORBIDDEN_PORT --plain
start_server LOGIN_TEST_TO_HTTP_PORT \
    --redirect-to "http://127.0.0.1:$LOGIN_TEST_FORBIDDEN_PORT/register"
start_server LOGIN_TEST_TO_OTHER_HOST_PORT \
    --redirect-to "https://localhost:$LOGIN_TEST_FORBIDDEN_PORT/register"
start_server LOGIN_TEST_OTHER_PORT
start_server LOGIN_TEST_TO_OTHER_PORT_PORT \
    --redirect-to "https://127.0.0.1:$LOGIN_TEST_OTHER_PORT/register"
start_server LOGIN_TEST_TO_SAME_HOST_PORT \
    --redirect-to "https://127.0.0.1:$LOGIN_TEST_TARGET_PORT/register"
start_server LOGIN_TEST_TO_TARGET_BY_NAME_PORT \
    --redirect-to "https://localhost:$LOGIN_TEST_TARGET_PORT/register"
start_server LOGIN_TEST_LOOP_PORT --redirect-self
# A reply one byte over the bound that gives no length: it is cut where the bound is.
start_server LOGIN_TEST_LONG_PORT --pad-to 1048577 --framing chunked
# Servers that never finish a reply.
start_server LOGIN_TEST_HANG_PORT --hang
start_server LOGIN_TEST_SELF_REDIRECT_PORT --redirect-self
start_server LOGIN_TEST_CLAIM_HANG_PORT --claim-length 4000000000 --hang
# A server whose connections are kept between the requests of one test.
start_server LOGIN_TEST_KEPT_PORT
# A server that closes the connection once it has read the request.
start_server LOGIN_TEST_CLOSE_PORT --close

"$@"
exit $?
