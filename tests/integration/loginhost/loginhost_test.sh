#!/bin/sh
# The reference host end to end: a profile, a brand table encoded by `loginhost encode-table`,
# and `loginhost run`, which sends device event 50082 and prints what the plug-in did.
#
# usage: loginhost_test.sh MODE LOGINHOST WORKDIR [RUNNER...]
#   MODE    skin-switch | bad-input
#   RUNNER  what runs the program (empty natively, "wine" for the Windows build)
set -eu
mode=$1 host=$2 work=$3
shift 3

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# The host's output without the carriage returns that a Windows program writes.
run_host() {
    out=$1
    shift
    status=0
    "$@" >"$out.raw" 2>"$out.err" || status=$?
    tr -d '\r' <"$out.raw" >"$out"
    echo "--- $* (status $status)"
    cat "$out"
    cat "$out.err" >&2
    return 0
}

rm -rf "$work"
mkdir -p "$work/profile"
cd "$work"

case "$mode" in
skin-switch)
    # The plug-in reads the table beside the host program.
    table="$(dirname "$host")/SIMBrandInfo.xml"
    trap 'rm -f "$table"' EXIT

    run_host key.out "$@" "$host" encrypt "integration table key"
    key=$(cat key.out)
    [ -n "$key" ] || fail "loginhost encrypt gave no key"

    cat >profile/system.ini <<INI
; written by the test
[LOGIN]
URL=https://127.0.0.1:9/login
[REGISTER]
URL=https://127.0.0.1:9/register
[CRYPT]
CRYPT=$key
[SIMTYPE]
ACTIVE=2
INI
    cat >profile/card.ini <<'INI'
[card]
imsi=460001234567890
spn=中国移动
INI
    printf 'ServiceScreenCode=\n' >profile/named.ini
    cat >table.xml <<'XML'
<?xml version="1.0" encoding="gbk"?>
<main>
  <cardtype><name>china unicom,联通</name><tag>2</tag><skinpath>skins\cu</skinpath></cardtype>
  <cardtype><name>CMCC,中国移动</name><tag>3</tag><skinpath>skins\移动</skinpath></cardtype>
</main>
XML
    run_host encode.out "$@" "$host" encode-table table.xml "$table" --profile profile
    [ "$status" -eq 0 ] || fail "encode-table exited with $status"
    cmp -s table.xml "$table" && fail "the table was written as plain text"

    # First run: the brand differs from the stored SIM type, so the skin switches once. No server
    # answers the profile's URLs: the host does not wait for the login, which does not succeed.
    run_host run1.out "$@" "$host" run --profile profile --timeout 0
    [ "$status" -eq 1 ] || fail "run exited with $status"
    sed -n '/^event /,/^skin /p' run1.out >switch.out
    cat >switch.expected <<'OUT'
event     50082 to 1 listener(s)
set-sys   SIMTYPE/ACTIVE=3
set-sys   SKIN/ACTIVE=skins\移动
simtype   3
skin      simtype=3 name=中国移动
OUT
    diff switch.expected switch.out || fail "the skin switch printed other lines"
    grep -qx 'simtype   3' run1.out || fail "the SIM type was not handed over at start"
    grep -qx 'shutdown  OnDestroy, Release' run1.out || fail "no clean shutdown"

    # The settings were written back into the profile, in UTF-8, keeping the file's text.
    tr -d '\r' <profile/system.ini >system.out
    grep -qx '; written by the test' system.out || fail "system.ini lost its comment"
    sed -n '/^\[SIMTYPE\]/,/^\[/p' system.out | grep -qx 'ACTIVE=3' || fail "SIMTYPE not stored"
    sed -n '/^\[SKIN\]/,/^\[/p' system.out | grep -qx 'ACTIVE=skins\\移动' ||
        fail "SKIN not stored"

    # Second run: the stored SIM type is the brand's, so nothing is written or told.
    run_host run2.out "$@" "$host" run --profile profile --timeout 0
    [ "$status" -eq 1 ] || fail "second run exited with $status"
    grep -q '^event ' run2.out || fail "no device event in the second run"
    if grep -qE '^(set-sys|skin) ' run2.out; then fail "the second run switched again"; fi
    ;;
bad-input)
    # A command line the host cannot use: status 2 and a message that says what is wrong.
    while IFS='|' read -r args message; do
        # shellcheck disable=SC2086 # the arguments are split on purpose
        run_host usage.out "$@" "$host" $args </dev/null
        [ "$status" -eq 2 ] || fail "'$args' exited with $status, not 2"
        tr -d '\r' <usage.out.err | grep -qF -e "$message" || fail "'$args' did not say: $message"
    done <<'CASES'
run --timeout soon|--timeout takes seconds, not 'soon'
run --frob|unknown argument '--frob'
settings --plugin x|loginhost settings: --profile DIR is required
CASES
    printf '[card]\nimsi=460001234567890\nspn_errors=14,x,0\n' >profile/card.ini
    run_host error.out "$@" "$host" run --profile profile
    [ "$status" -eq 2 ] || fail "a bad profile exited with $status, not 2"
    tr -d '\r' <error.out.err | grep -q "card.ini:3: bad number list for spn_errors: '14,x,0'" ||
        fail "the message does not name the file and line"
    grep -q '^login ' error.out && fail "the plug-in was started despite the bad profile"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
echo "PASSED: $mode"
