#!/usr/bin/env bash
# How this machine runs 32-bit x86 programs (the i686 Windows suite's Wine): natively, or emulated
# under qemu-i386. Run alone, it prints the decision and changes nothing; ./run sources it for
# choose_i386_path, ensure_i386_exec (registers qemu-i386 when emulated) and emulate_i386.

# The i686 tests that run when 32-bit programs are emulated (the workflow and test preset
# windows-i686-emulated, its filter '^layers_.*$'): the include checks of the i686 build, which run
# no 32-bit program. No 32-bit Wine program is run there: qemu-i386 does not run a 32-bit Wine process reliably once it
# has more than one thread (and every program of ours has: the login's worker, the dialog's
# driver, WinINet's thread pool). The emulator dies ("qemu: uncaught target signal 11"), Wine
# reports exceptions no Windows code has ("Unhandled exception 0x00000003") or loses its server
# connection ("partial wakeup read 0"), or the process waits for good. Seen under emulation, each
# passing natively in loops:
# - windows_gathered_test crashed at its worker-start test (it starts six caller threads), and a
#   program that does nothing but start six threads and join them crashes the same way;
# - https_wininet_test, login_wininet_test and every scenario_exe_* login: WinINet's asynchronous
#   requests run on Wine's thread pool, which crashed there (the redirect test then spun for an
#   hour in Wine's debugger);
# - ui_test crashed in its dialog driver's thread in 1 of 2 runs;
# - loginhost_exe_prints_identity (the host's start, which starts the login's worker) passed in
#   2 runs and crashed in the next 2.
# So on such a kernel the i686 build is compiled, its include checks and its DLL's exports are
# checked, and its programs run natively wherever the kernel allows.

# Whether the kernel runs 32-bit x86 programs itself; a kernel built or booted without IA-32
# emulation refuses them with "Exec format error".
I386_PROBE="${LOGIN_I386_PROBE:-/lib/ld-linux.so.2}"
BINFMT=/proc/sys/fs/binfmt_misc
BINFMT_QEMU="$BINFMT/qemu-i386"
kernel_runs_i386() {
  # A qemu-i386 entry left registered would answer for the kernel: ask with it switched off.
  if [ -e "$BINFMT_QEMU" ] && grep -q '^enabled' "$BINFMT_QEMU" 2>/dev/null; then
    echo 0 >"$BINFMT_QEMU" 2>/dev/null || true
    local ok=0
    "$I386_PROBE" --version >/dev/null 2>&1 || ok=1
    echo 1 >"$BINFMT_QEMU" 2>/dev/null || true
    return $ok
  fi
  "$I386_PROBE" --version >/dev/null 2>&1
}

# How 32-bit programs run in this run, decided once before anything is registered:
# native, or emulated (under qemu-i386). LOGIN_I386_EMULATE=1 forces emulation on a kernel that
# does not need it, to reproduce such a machine's run.
I386_PATH=""
I386_WHY=""
choose_i386_path() {
  [ -n "$I386_PATH" ] && return 0
  if [ "${LOGIN_I386_EMULATE:-0}" = 1 ]; then
    I386_PATH=emulated I386_WHY="forced by LOGIN_I386_EMULATE=1"
  elif kernel_runs_i386; then
    I386_PATH=native I386_WHY="the kernel runs 32-bit programs itself"
  else
    I386_PATH=emulated I386_WHY="the kernel refuses 32-bit programs (Exec format error)"
  fi
}

# Emulated, every 32-bit program runs under qemu's user-mode emulation, registered with
# binfmt_misc for i386 ELF (flag F opens the interpreter at once, so it serves every namespace).
# Only binfmt_misc catches every 32-bit start: Wine starts further processes by executing its
# 32-bit loader by path, so a wrapper around the first program alone would leave those native.
QEMU_I386_RULE=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F'
I386_READY=""
ensure_i386_exec() {
  choose_i386_path
  [ -n "$I386_READY" ] && return 0
  I386_READY=1
  if [ "$I386_PATH" = native ]; then
    # A qemu-i386 entry left by another run would still take every 32-bit start: off for this run.
    if [ -e "$BINFMT_QEMU" ] && grep -q '^enabled' "$BINFMT_QEMU"; then
      echo 0 >"$BINFMT_QEMU" && trap 'echo 1 >"$BINFMT_QEMU" 2>/dev/null || true' EXIT
      echo "qemu-i386 switched off in binfmt_misc for this run"
    fi
    return 0
  fi
  printf '\n==> %s\n' "32-bit programs run under qemu-i386 (slow): $I386_WHY"
  if [ "$(id -u)" -ne 0 ]; then
    echo "running 32-bit programs under qemu-i386 needs root" >&2
    return 1
  fi
  dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q "install ok installed" || {
    echo "installing: qemu-user-static"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null
  }
  # A forced run registers qemu only inside the i686 suite's own namespace (emulate_i386).
  [ "${LOGIN_I386_EMULATE:-0}" = 1 ] && return 0
  [ -e "$BINFMT/register" ] || mount -t binfmt_misc none "$BINFMT"
  [ -e "$BINFMT_QEMU" ] || { printf '%s\n' "$QEMU_I386_RULE" >"$BINFMT/register"; echo "qemu-i386 registered in binfmt_misc"; }
  echo 1 >"$BINFMT_QEMU"
  "$I386_PROBE" --version >/dev/null 2>&1 || { echo "32-bit programs still do not run" >&2; return 1; }
}

# Runs a command as the i686 suite must run: forced emulation takes a user namespace whose own
# binfmt_misc (kernels from 6.7) sends every 32-bit start to qemu-i386, so the machine's
# registrations stay untouched; otherwise the command runs as it is.
emulate_i386() {
  if [ "$I386_PATH" = emulated ] && [ "${LOGIN_I386_EMULATE:-0}" = 1 ]; then
    # shellcheck disable=SC2016 # expanded by the inner shell
    unshare --user --map-root-user --mount --fork bash -c '
      mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc &&
        printf "%s\n" "$0" >/proc/sys/fs/binfmt_misc/register && exec "$@"' "$QEMU_I386_RULE" "$@"
  else
    "$@"
  fi
}

# Run alone: the decision, nothing changed.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  choose_i386_path
  echo "32-bit programs: $I386_PATH ($I386_WHY)"
fi
