#!/bin/sh
# The installed Windows tree on its own: `cmake --install` of the cross build into a fresh
# prefix, the sample host cross-built against that prefix alone (find_package), then run under
# Wine with the installed LoginPlugin.dll against the native account server that
# LOGIN_ACCOUNT_SERVER names (skipped, status 77, without one).
#
#   package_wine_test.sh BUILD_DIR TOOLCHAIN_FILE WORK_DIR EMULATOR...
set -eu
. "$(dirname "$0")/package_lib.sh"
build=$1
toolchain=$2
work=$3
shift 3

server=${LOGIN_ACCOUNT_SERVER:-}
if [ -z "$server" ] || [ ! -x "$server" ]; then
    echo "package_wine_test: LOGIN_ACCOUNT_SERVER does not name the native account-server"
    exit 77
fi

rm -rf "$work"
mkdir -p "$work/run/keys"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
for f in bin/LoginPlugin.dll lib/LoginPlugin.def include/loginplugin/ILogin.h \
    lib/cmake/LoginPlugin/LoginPluginConfig.cmake; do
    [ -f "$prefix/$f" ] || fail "$f is not installed"
done

# The runtimes linked in, as the plug-in's are: the program needs no DLL of the toolchain.
cmake -S "$prefix/share/doc/LoginPlugin/examples/minimal-host" -B "$work/sample" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLoginPlugin_DIR="$prefix/lib/cmake/LoginPlugin" \
    -DCMAKE_EXE_LINKER_FLAGS="-static" >"$work/sample.log" 2>&1 &&
    cmake --build "$work/sample" >>"$work/sample.log" 2>&1 || {
    cat "$work/sample.log" >&2
    fail "the sample host does not build against the installed package"
}

start_account_server "$server" "$work"
write_host_ini "$work/run/host.ini" 'keys\' 460001234567891
cd "$work/run"
status=0
"$@" "$work/sample/minimal-host.exe" "$prefix/bin/LoginPlugin.dll" host.ini >sample.out 2>&1 ||
    status=$?
expect_login sample.out "$status"
[ -s keys/Key.dtc ] || fail "no key file"
echo "package_wine_test: passed"
