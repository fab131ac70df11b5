#!/bin/sh
# The reference host's command line: what it cannot use ends with status 2 and a message that
# says what is wrong. (The skin switch from an encoded table and a profile: the skin scenario.)
#
# usage: loginhost_test.sh MODE LOGINHOST WORKDIR [RUNNER...]
#   MODE    bad-input
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
