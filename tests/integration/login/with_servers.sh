#!/bin/sh
# Runs the login engine's WinINet test program with the account servers it talks to.
set -u
. "$(dirname "$0")/../../support/servers.sh"

start_server LOGIN_TEST_MISMATCH_PORT --cert-name other.example
# Strict mode's own: WinINet may reuse a connection whose certificate it once accepted with the
# checks waived, so these servers see no request in the default mode.
start_server LOGIN_TEST_STRICT_SELF_SIGNED_PORT
start_server LOGIN_TEST_STRICT_MISMATCH_PORT --cert-name other.example
start_server LOGIN_TEST_STRICT_EXPIRED_PORT --cert-expired
start_server LOGIN_TEST_STRICT_CA_SIGNED_PORT --ca-out "$work/ca.pem"
# A default-mode login, then a strict one in the same process over the kept-alive connection.
start_server LOGIN_TEST_POOLED_PORT
start_server LOGIN_TEST_UNSIZED_PORT --pad-to 20000 --framing close
start_server LOGIN_TEST_HANG_PORT --hang
start_server LOGIN_TEST_CLAIM_PORT --claim-length 4000000000 --hang

"$@"
exit $?
