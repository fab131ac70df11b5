#!/usr/bin/env python3
"""squid on a free loopback port, for the proxy tests of both faces.

    squid_peer.py DIR KIND [USER PASSWORD]...

KIND is one of:
  open      no authentication
  basic     Basic credentials (basic_ncsa_auth over an htpasswd file of the given users)
  digest    Digest credentials (digest_file_auth over a file of the given users)
  refusing  answers every CONNECT with 403

Users and passwords are taken as bytes (a GBK name stays GBK). The configuration, password file,
logs and pid file live in DIR/squid-KIND. Once squid listens, prints "port N" and "log PATH" (its
access log, one line per transaction); then runs until it gets SIGTERM or its parent ends, and
stops squid with it. A port that another program took first is replaced by another.
"""

import ctypes
import hashlib
import os
import pwd
import signal
import socket
import subprocess
import sys
import time

HELPERS = "/usr/lib/squid"
PR_SET_PDEATHSIG = 1
REALM = b"loginplugin-test"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def takes_connections(port, squid, log):
    """Whether squid takes a connection; once it does, waits for the line it logs for it, so
    that the log a test reads from then on has only the test's own transactions."""
    for _ in range(500):
        if squid.poll() is not None:
            return False
        with socket.socket() as s:
            if s.connect_ex(("127.0.0.1", port)) == 0:
                break
        time.sleep(0.02)
    else:
        return False
    for _ in range(500):
        if os.path.exists(log) and os.path.getsize(log) > 0:
            return True
        time.sleep(0.02)
    return False


def auth_lines(kind, work, users):
    if kind == "basic":
        path = os.path.join(work, "htpasswd")
        with open(path, "wb") as f:
            for user, password in users:
                hashed = subprocess.run(["openssl", "passwd", "-apr1", "-stdin"], input=password + b"\n",
                                        capture_output=True, check=True).stdout.strip()
                f.write(user + b":" + hashed + b"\n")
        return [f"auth_param basic program {HELPERS}/basic_ncsa_auth {path}",
                f"auth_param basic realm {REALM.decode()}",
                "auth_param basic children 2 startup=1 idle=1"]
    if kind == "digest":
        # Stored as user:realm:H(A1), so that a colon in the password stays part of it.
        path = os.path.join(work, "digest-users")
        with open(path, "wb") as f:
            for user, password in users:
                ha1 = hashlib.md5(user + b":" + REALM + b":" + password).hexdigest().encode()
                f.write(user + b":" + REALM + b":" + ha1 + b"\n")
        return [f"auth_param digest program {HELPERS}/digest_file_auth -c {path}",
                f"auth_param digest realm {REALM.decode()}",
                "auth_param digest children 2 startup=1 idle=1",
                "auth_param digest nonce_garbage_interval 5 minutes"]
    return []


def config(kind, work, port, users):
    lines = [f"http_port 127.0.0.1:{port}",
             "visible_hostname loginplugin-test-proxy",
             f"pid_filename {work}/squid.pid",
             f"cache_log {work}/cache.log",
             f"access_log stdio:{work}/access.log",
             "buffered_logs off",
             f"coredump_dir {work}",
             "netdb_filename none",
             "pinger_enable off",
             "cache deny all",
             "shutdown_lifetime 0 seconds",
             "logfile_rotate 0",
             "client_persistent_connections on",
             "acl CONNECT method CONNECT"]
    lines += auth_lines(kind, work, users)
    if kind in ("basic", "digest"):
        lines += ["acl authed proxy_auth REQUIRED", "http_access allow authed"]
    elif kind == "refusing":
        lines += ["http_access deny CONNECT", "http_access allow all"]
    else:
        lines += ["http_access allow all"]
    lines += ["http_access deny all"]
    return "\n".join(lines) + "\n"


def main():
    if len(sys.argv) < 3 or (len(sys.argv) - 3) % 2:
        sys.exit(__doc__)
    base, kind = sys.argv[1], sys.argv[2]
    raw = [os.fsencode(a) for a in sys.argv[3:]]
    users = list(zip(raw[0::2], raw[1::2]))
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM)

    work = os.path.join(base, "squid-" + kind)
    os.makedirs(work, exist_ok=True)
    if os.geteuid() == 0:
        # squid runs as its own user when started by root: it writes its logs here and its
        # helpers read the password files.
        proxy = pwd.getpwnam("proxy")
        os.chmod(base, os.stat(base).st_mode | 0o011)
        for name in [work] + [os.path.join(work, n) for n in os.listdir(work)]:
            os.chown(name, proxy.pw_uid, proxy.pw_gid)

    squid = None
    stopping = False

    def stop(*_):
        # Only asks: the main loop sees squid end (its standard error closes) and reaps it.
        nonlocal stopping
        stopping = True
        if squid and squid.poll() is None:
            squid.terminate()

    signal.signal(signal.SIGTERM, stop)
    for attempt in range(5):
        if stopping:
            break
        port = free_port()
        conf = os.path.join(work, "squid.conf")
        with open(conf, "w") as f:
            f.write(config(kind, work, port, users))
        if os.geteuid() == 0:
            proxy = pwd.getpwnam("proxy")
            for name in os.listdir(work):
                os.chown(os.path.join(work, name), proxy.pw_uid, proxy.pw_gid)
        # A service name of its own: squids of one machine keep apart what they share by it.
        service = f"lptest{os.getpid()}x{attempt}"
        squid = subprocess.Popen(["squid", "-N", "-d", "1", "-n", service, "-f", conf],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                 preexec_fn=lambda: libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM))
        listening = False
        for line in squid.stderr:
            if b"Accepting HTTP Socket connections" in line:
                listening = True
                break
            if b"Cannot open HTTP Port" in line or b"FATAL" in line:
                break
        # squid says so a moment before its socket takes connections.
        listening = listening and takes_connections(port, squid, f"{work}/access.log")
        if listening and not stopping:
            print(f"port {port}")
            print(f"log {work}/access.log", flush=True)
            # Drained, so that squid never blocks on a full pipe.
            for line in squid.stderr:
                sys.stderr.buffer.write(line)
            squid.wait()
            sys.exit(0 if stopping else 1)
        if squid.poll() is None:
            squid.terminate()
        for _ in squid.stderr:
            pass
        squid.wait()
        squid = None
    if stopping:
        sys.exit(0)
    sys.exit(f"squid {kind} did not start; see {work}/cache.log")


if __name__ == "__main__":
    main()
