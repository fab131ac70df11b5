#!/usr/bin/env bash
# Prepares the machine for the Windows suites: Wine's 32-bit loader (wine32 from the i386
# architecture), the Chinese locale the dialog tests run Wine with, and the project's Wine prefix
# build/wineprefix (the one the test presets name). Says what it changed.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"

if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing package: wine32:i386 (run as root, or install it)" >&2
    exit 1
  fi
  echo "installing: wine32:i386"
  export DEBIAN_FRONTEND=noninteractive
  dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qiE '^zh_CN\.utf-?8$'; then
  if [ "$(id -u)" -eq 0 ] && localedef -i zh_CN -f UTF-8 zh_CN.UTF-8; then
    echo "made the locale zh_CN.UTF-8"
  fi
fi

# One 64-bit prefix for both builds: the 32-bit programs run in it as on 64-bit Windows.
export WINEPREFIX="$ROOT/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "creating the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # Started by the 64-bit loader, which starts the 32-bit one for the prefix's 32-bit side.
  WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
