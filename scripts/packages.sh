#!/usr/bin/env bash
# Installs the Debian packages a stage needs (as root), and says which it installed:
#   scripts/packages.sh STAGE...   (build demo release bench soak native tsan fuzz windows-x64
#                                   windows-i686 package, or all)
set -euo pipefail

# The release build: compilers and the libraries the plug-in, loginhost and account-server link.
BUILD=(cmake make g++ ccache pkg-config python3 libcurl4-openssl-dev libssl-dev libcpp-httplib-dev
  libproxy-dev libmm-glib-dev libnm-dev libglib2.0-dev libgtk-3-dev)
GTEST=(libgtest-dev libgmock-dev googletest)
# What the native suites run against: real proxies (squid with its Basic and Digest helpers;
# openssl hashes their passwords), the system's proxy through libproxy's GNOME settings and PAC
# modules, a private D-Bus with the modem and network services mocked, the settings dialog driven
# through the accessibility bus on a virtual display, the Chinese locale and font.
PEERS=(tinyproxy squid openssl libproxy1-plugin-gsettings libproxy1-plugin-webkit
  dbus-daemon python3-dbusmock libglib2.0-bin gir1.2-gtk-3.0 at-spi2-core python3-pyatspi
  gir1.2-atspi-2.0 xvfb xauth x11-apps imagemagick fonts-wqy-microhei locales)
BENCH=(libbenchmark-dev libpugixml-dev libtinyxml2-dev)
FUZZ=(clang libclang-rt-14-dev)
# The Windows builds and Wine (wine32:i386 comes from scripts/wine.sh).
WINDOWS=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64 mingw-w64-tools
  wine wine64)
PACKAGE=(dpkg-dev file)

wanted=()
for stage in "$@"; do
  case "$stage" in
    build) wanted+=("${BUILD[@]}" "${GTEST[@]}" "${BENCH[@]}" "${WINDOWS[@]}") ;;
    demo) wanted+=("${BUILD[@]}") ;;
    release | bench | soak) wanted+=("${BUILD[@]}" "${GTEST[@]}" "${BENCH[@]}") ;;
    native | tsan) wanted+=("${BUILD[@]}" "${GTEST[@]}" "${PEERS[@]}") ;;
    fuzz) wanted+=("${BUILD[@]}" "${GTEST[@]}" "${FUZZ[@]}") ;;
    windows-x64 | windows-i686) wanted+=("${BUILD[@]}" "${GTEST[@]}" "${PEERS[@]}" "${WINDOWS[@]}") ;;
    package) wanted+=("${BUILD[@]}" "${GTEST[@]}" "${BENCH[@]}" "${PACKAGE[@]}") ;;
    all) wanted+=("${BUILD[@]}" "${GTEST[@]}" "${PEERS[@]}" "${BENCH[@]}" "${FUZZ[@]}" "${WINDOWS[@]}" "${PACKAGE[@]}") ;;
    *) echo "scripts/packages.sh: unknown stage $stage" >&2; exit 2 ;;
  esac
done

missing=()
for p in $(printf '%s\n' "${wanted[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]} (run as root, or install them)" >&2
  exit 1
fi
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "installed: ${missing[*]}"
