#!/bin/sh
# The installed tree on its own: `cmake --install` into a fresh prefix, pkg-config and
# find_package(LoginPlugin) from it, the sample host configured and built against it (never the
# build tree), then run against the installed account-server. A second build of the sample with
# the other std::string ABI must stop at the binary-contract check with its message.
#
#   package_test.sh BUILD_DIR WORK_DIR [CXXFLAGS]
# CXXFLAGS: the sanitizer flags the library was built with, which a program loading it needs.
set -eu
. "$(dirname "$0")/package_lib.sh"
build=$1
work=$2
flags=${3:-}

rm -rf "$work"
mkdir -p "$work/run"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

# The user unit of watch runs the installed host on the user's profile, the trace in its state
# directory; without a profile, the host says how to make one and ends with 2 (no restarts).
unit=$prefix/lib/systemd/user/loginhost-watch.service
[ -f "$unit" ] || fail "no user unit $unit"
grep -qx "ExecStart=$prefix/bin/loginhost watch --profile %h/.config/loginhost/profile" "$unit" ||
    fail "the unit does not run the installed host: $(grep ExecStart "$unit")"
grep -qx 'Environment=LOGINPLUGIN_TRACE_DIR=%S/loginhost' "$unit" || fail "no trace directory"
status=0
"$prefix/bin/loginhost" watch --profile "$work/no-profile" >"$work/watch.out" 2>&1 || status=$?
[ "$status" -eq 2 ] && grep -q "make one with: loginhost init-profile $work/no-profile" \
    "$work/watch.out" || fail "a missing profile: status $status, $(cat "$work/watch.out")"
"$prefix/bin/loginhost" init-profile "$work/made-profile" --server https://127.0.0.1:1 >/dev/null ||
    fail "init-profile failed"
grep -qx 'URL=https://127.0.0.1:1/login' "$work/made-profile/system.ini" || fail "init-profile's URL"

# pkg-config: the SDK's folder and the library, found relative to the .pc file.
pc=$(find "$prefix" -name loginplugin.pc)
[ -n "$pc" ] || fail "no loginplugin.pc installed"
export PKG_CONFIG_PATH="$(dirname "$pc")"
cflags=$(pkg-config --cflags loginplugin)
libs=$(pkg-config --libs loginplugin)
plugin=$(pkg-config --variable=plugin loginplugin)
[ -f "$plugin" ] || fail "pkg-config names no plug-in file ($plugin)"
# The programs the library starts (the settings dialog, the system's proxy) lie beside it.
for helper in loginplugin-settings loginplugin-proxy; do
    [ -x "$(dirname "$plugin")/$helper" ] || fail "$helper is not installed beside $plugin"
done
cat >"$work/pc_check.cpp" <<'CPP'
#include "LoginAbi.h"
extern "C" IBasePlugin* CreatePlugin();
int main() { return CreatePluginFn(&CreatePlugin) && LoginAbiTag() != 0 ? 0 : 1; }
CPP
# shellcheck disable=SC2086
c++ -std=c++17 $flags $cflags "$work/pc_check.cpp" -o "$work/pc_check" $libs ||
    fail "the SDK does not compile with pkg-config's flags"
LD_LIBRARY_PATH="$(pkg-config --variable=libdir loginplugin)" "$work/pc_check" ||
    fail "pkg-config's build does not run"

# find_package: the sample host from the installed docs, against the install prefix alone.
sample_src=$(find "$prefix" -path '*examples/minimal-host' -type d)
[ -n "$sample_src" ] || fail "the sample host is not installed"
build_sample() {  # dir extra-flags
    cmake -S "$sample_src" -B "$1" -DCMAKE_PREFIX_PATH="$prefix" \
        -DCMAKE_CXX_FLAGS="$flags $2" -DCMAKE_EXE_LINKER_FLAGS="$flags" >"$1.log" 2>&1 &&
        cmake --build "$1" >>"$1.log" 2>&1 || {
        cat "$1.log" >&2
        fail "the sample host does not build against the installed package"
    }
}
build_sample "$work/sample" ""

start_account_server "$prefix/bin/account-server" "$work"
mkdir -p "$work/run/keys"
write_host_ini "$work/run/host.ini" "$work/run/keys/" 460001234567890
cd "$work/run"
status=0
"$work/sample/minimal-host" "$plugin" host.ini >sample.out 2>&1 || status=$?
expect_login sample.out "$status"
[ -s "$work/run/keys/Key.dtc" ] || fail "no key file"

# The other string ABI (the old copy-on-write std::string) is refused, not crashed into.
build_sample "$work/sample-old-abi" "-D_GLIBCXX_USE_CXX11_ABI=0"
status=0
"$work/sample-old-abi/minimal-host" "$plugin" host.ini >old-abi.out 2>&1 || status=$?
cat old-abi.out
[ "$status" -eq 3 ] || fail "the old-ABI host ended with status $status, not 3"
grep -q 'binary contract mismatch' old-abi.out || fail "no mismatch message"
echo "package_test: passed"
