#!/usr/bin/env bash
# The .deb of the package workflow as a host developer meets it: dpkg -i, pkg-config, find_package
# and the sample host built from /usr alone and run against the installed account server; then
# the package goes. Needs root.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "installing the package needs root"; exit 1; }
debs=(build/release/loginplugin_*.deb)
deb="${debs[-1]}"
[ -f "$deb" ] || { echo "no .deb in build/release (the package workflow makes it)"; exit 1; }
work="$(mktemp -d)"
rc=0
dpkg -i "$deb" >/dev/null || { rm -rf "$work"; exit 1; }
(
  set -e
  pkg-config --cflags --libs loginplugin
  cmake -S /usr/share/doc/LoginPlugin/examples/minimal-host -B "$work/sample" >/dev/null
  cmake --build "$work/sample" >/dev/null
  mkfifo "$work/server.out"
  account-server --port 0 >"$work/server.out" 2>/dev/null &
  server=$!
  trap 'kill $server 2>/dev/null' EXIT
  read -r _ port <"$work/server.out"
  mkdir -p "$work/keys"
  printf '[LOGIN]\nURL=https://127.0.0.1:%s/login\n[REGISTER]\nURL=https://127.0.0.1:%s/register\n[CURRENT_USER_PRIVATE_DIR]\nPATH=%s/keys/\n[card]\nimsi=460001234567890\nspn=CMCC\n' \
    "$port" "$port" "$work" >"$work/host.ini"
  cd "$work"
  "$work/sample/minimal-host" "$(pkg-config --variable=plugin loginplugin)" host.ini
) || rc=1
dpkg -P loginplugin >/dev/null || rc=1
rm -rf "$work"
exit "$rc"
