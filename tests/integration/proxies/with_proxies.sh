#!/bin/sh
# Runs the proxy suite's WinINet test program with the account server and the squid proxies it
# talks to, and a port nothing listens on.
set -u
. "$(dirname "$0")/../../support/servers.sh"

start_server LOGIN_TEST_ACCOUNT_PORT
# The users of ProxyPeers.h: 张三 and 密码 in GBK, and in UTF-8.
awkward_user=$(printf '\325\305\310\375 a@b%%41')
awkward_password=$(printf '\303\334\302\353 p:a@ss %%41')
for kind in open basic digest refusing; do
    start_squid "$kind" alice s3cret "$awkward_user" "$awkward_password" \
        '张三 a@b%41' '密码 p:a@ss %41'
done
LOGIN_TEST_DOWN_PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
export LOGIN_TEST_DOWN_PORT

"$@"
exit $?
