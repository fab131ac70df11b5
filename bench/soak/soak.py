#!/usr/bin/env python3
"""The soak: the reference host with the soak plug-in (its clock --scale times real speed) signs
SIMs in for --hours simulated hours while the link breaks in every way the fault proxy knows.

    soak.py --loginhost PATH --plugin PATH --server PATH [--hours 24] [--scale 60] [--seed N]

Every cycle of five simulated minutes one thing goes wrong some 20 s before the SIM is swapped
and stays wrong for 1 to 3.5 minutes: a fault of the proxy, the server behind it answering as a
captive portal or overloaded (503), or the host's network state (dialling, no connection). The
swap forces a new login, which can succeed only once the fault has cleared. The host runs a
script of the swaps and network changes; this driver switches the proxy on the same timeline,
reads the host's lines, and samples the host process every simulated minute.

Printed per simulated hour: logins, outages, the longest time from a fault's end to the login
that ended its outage began (read from the plug-in's trace), the largest RSS, open
descriptors and threads, and the bytes of the trace. Exit status 0 when every outage ends within
the retry period after its fault clears, RSS, descriptors and threads do not grow past the
first hour by more than 5 %, and the trace files stay within their bound.
"""

import argparse
import os
import random
import re
import selectors
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from datetime import datetime
from pathlib import Path

PROXY = Path(__file__).resolve().parents[2] / "tests" / "support" / "fault_proxy.py"
CYCLE = 300     # simulated seconds from one SIM swap to the next
LEAD = 20       # a fault starts this long before its swap
RETRY = 60      # the plug-in's retry period
# From a fault's end to the start of the attempt that logs in. The worker looks once a simulated
# second and its clock counts whole seconds, so a retry due at 60 s begins by 62 s; one more
# second (17 ms real at 60x) for the worker thread's scheduling on a busy machine. The exchange
# itself is not counted: its real milliseconds would count as simulated seconds.
LIMIT = RETRY + 3
TRACE_FILE_BYTES = 1024 * 1024
TRACE_NAME = "norvamts_trace_0.log"
GROWTH = 1.05
TROUBLES = ["refuse", "blackhole", "stall-handshake", "stall-request", "stall-headers",
            "stall-body", "drip", "reset", "latency", "portal", "overloaded", "dialling",
            "no-network", None]
IMSIS = ["460001234567890", "460009876543210", "460005550000001", "460005550000002"]


class Soak:
    def __init__(self, args):
        self.args = args
        self.scale = args.scale
        self.work = Path(tempfile.mkdtemp(prefix="soak-"))
        self.procs = []
        self.selector = selectors.DefaultSelector()
        self.pending = {}
        self.t0 = None              # real time of simulated 0: the first login
        self.schedule = []          # (real time, proxy fault, cycle it ends or None) to do
        self.awaiting = None        # the fault the proxy has been told and not yet confirmed
        self.cycle = -1             # the last swap seen
        self.clear = {}             # cycle -> simulated time its trouble ended, once it has
        self.outage = None          # (cycle, simulated start) of the outage in progress
        self.wall0 = None           # the wall clock at t0: trace records carry wall time
        self.trace_ino = None       # the trace file as last read, and how far
        self.trace_offset = 0
        self.trace_pending = b""
        self.attempt = None         # when the last login attempt began
        self.hours = [dict(logins=0, outages=0, worst=None, rss=0, fds=0, threads=0, trace=0)
                      for _ in range(args.hours)]
        self.failures = []
        rng = random.Random(args.seed)
        cycles = args.hours * 3600 // CYCLE
        self.plan = []
        while len(self.plan) < cycles:   # every trouble once a round, the rounds shuffled
            rnd = TROUBLES[:]
            rng.shuffle(rnd)
            self.plan += [(t, rng.randint(60, 210)) for t in rnd]
        self.plan = self.plan[:cycles]

    def sim(self, real=None):
        return ((real if real is not None else time.monotonic()) - self.t0) * self.scale

    def real(self, sim_seconds):
        return sim_seconds / self.scale

    # --- the programs -------------------------------------------------------------------------

    def start(self, argv, name, stdin=None, env=None):
        proc = subprocess.Popen(argv, stdin=stdin, stdout=subprocess.PIPE,
                                stderr=open(self.work / f"{name}.log", "w"), cwd=self.work,
                                env=env, text=True, bufsize=1)
        self.procs.append(proc)
        return proc

    def server(self, name, *switches):
        proc = self.start([self.args.server, "--port", "0", "--cert-out", f"{name}.pem",
                           *switches], name)
        word, _, port = proc.stdout.readline().partition(" ")
        if word != "port":
            sys.exit(f"soak: account-server {' '.join(switches)} did not start")
        return int(port)

    def setup(self):
        main = self.server("server", "--no-tickets", "--pad-to", "20000")
        portal = self.server("portal", "--captive-portal")
        overloaded = self.server("overloaded", "--overloaded")
        self.proxy = self.start(
            [sys.executable, str(PROXY), "--target", str(main), "--switch",
             "--backend", f"portal={portal}", "--backend", f"overloaded={overloaded}",
             "--latency-ms", str(max(1, 2000 // self.scale)),   # 2 s a piece, simulated
             "--drip-ms", str(max(1, 1000 // self.scale))], "proxy", stdin=subprocess.PIPE)
        port = None
        for line in self.proxy.stdout:
            if line.startswith("port switch "):
                port = int(line.split()[2])
            if line.strip() == "ready":
                break
        if port is None:
            sys.exit("soak: the fault proxy did not start")
        for name in ("profile", "keys", "trace"):
            (self.work / name).mkdir()
        # Strict mode, trusting the three servers: a portal's page or a 503 is no login.
        trust = self.work / "trust.pem"
        trust.write_text("".join((self.work / f"{n}.pem").read_text()
                                 for n in ("server", "portal", "overloaded")))
        (self.work / "profile" / "system.ini").write_text(
            f"[LOGIN]\nURL=https://127.0.0.1:{port}/login\n"
            f"[REGISTER]\nURL=https://127.0.0.1:{port}/register\n"
            "[CURRENT_USER_PRIVATE_DIR]\nPATH=keys/\n"
            f"[SECURITY]\nSTRICT=1\nCAFILE={trust}\n")
        (self.work / "profile" / "card.ini").write_text(f"[card]\nimsi={IMSIS[0]}\nspn=CMCC\n")
        (self.work / "soak.script").write_text(self.script())
        if self.args.trace_start:
            # A trace left from earlier days, so that it reaches its bound within the run.
            record = b"2000-01-01 00:00:00.000 [1] INFO soak an earlier day's record\n"
            fd = os.open(self.work / "trace" / TRACE_NAME, os.O_WRONLY | os.O_CREAT, 0o600)
            os.write(fd, record * (self.args.trace_start // len(record)))
            self.trace_offset = os.lseek(fd, 0, os.SEEK_CUR)
            os.close(fd)
        env = dict(os.environ, LOGINPLUGIN_TRACE_DIR=str(self.work / "trace"),
                   LOGINPLUGIN_REGISTRY=str(self.work / "registry"),
                   LOGIN_SOAK_CLOCK_SCALE=str(self.scale))
        self.host = self.start([self.args.loginhost, "run", "--profile", "profile", "--plugin",
                                self.args.plugin, "--script", "soak.script"], "host", env=env)
        self.selector.register(self.host.stdout, selectors.EVENT_READ, self.on_host)
        self.selector.register(self.proxy.stdout, selectors.EVENT_READ, self.on_proxy)

    def script(self):
        """The host's part: the first login, then the swaps and the network's state, timed from
        the first login."""
        events = []  # (simulated time, step)
        for k, (trouble, length) in enumerate(self.plan):
            swap = (k + 1) * CYCLE
            # A swap as the card tells it: the card changed, then ready with the new SIM.
            events += [(swap, f"set card.imsi={IMSIS[(k + 1) % len(IMSIS)]}"),
                       (swap, "event 50083"), (swap, "event 50082")]
            if trouble == "dialling":
                events += [(swap - LEAD, "set net.connect_state=2"),
                           (swap - LEAD + length, "set net.connect_state=1")]
            elif trouble == "no-network":
                events += [(swap - LEAD, "set net.check_result=-1"),
                           (swap - LEAD + length, "set net.check_result=0")]
        steps = ["event 50082", "start-login", f"wait-login {self.real(600):.3f}"]
        at = 0
        for when, step in sorted(events, key=lambda e: e[0]):
            if when > at:
                steps.append(f"sleep {self.real(when - at):.3f}")
            steps.append(step)
            at = when
        # The driver ends the run when the last hour is over.
        return "\n".join(steps + ["sleep 86000", ""])

    # --- what the programs print --------------------------------------------------------------

    def on_host(self, line):
        now = time.monotonic()
        if self.t0 is None:
            if re.match(r"wait\s+logged in", line):
                self.t0, self.wall0 = now, time.time()
                self.plan_proxy(-1, now)
            elif re.match(r"wait\s+", line):
                self.fail(f"no first login: {line}")
            return
        t = self.sim(now)
        if re.match(r"card\s+imsi=", line):
            self.cycle += 1
            trouble = self.plan[self.cycle][0] if self.cycle < len(self.plan) else None
            if trouble is None:
                self.clear[self.cycle] = t   # the others end with the proxy's or the host's step
            if self.outage:
                self.fail(f"cycle {self.outage[0]}: the outage lasted to the next swap")
            self.outage = (self.cycle, t)
            self.hour(t)["outages"] += 1
            self.plan_proxy(self.cycle, now)
        elif re.match(r"net\s+(connect_state=1|check_result=0)", line):
            self.clear[self.cycle] = t

    def on_login(self, start, t):
        """A login the plug-in traced: its attempt began at simulated time start, ended at t."""
        self.hour(t)["logins"] += 1
        if not self.outage or t < self.outage[1]:
            return
        cycle = self.outage[0]
        trouble = self.plan[cycle][0]
        clear = self.clear.get(cycle)
        if clear is None or t < clear:
            if trouble not in ("latency", None):
                self.fail(f"cycle {cycle}: logged in during '{trouble}'")
            clear = start
        took = max(0.0, start - clear)
        if self.args.verbose:
            print(f"  cycle {cycle} {trouble}: cleared {clear:.0f}, login began {start:.0f}, "
                  f"ended {t:.0f}", flush=True)
        row = self.hour(t)
        row["worst"] = max(row["worst"] or 0.0, took)
        if took > LIMIT:
            self.fail(f"cycle {cycle} ({trouble}): the login began {took:.0f} s after it cleared")
        self.outage = None

    def read_trace(self):
        """The plug-in's new trace records; a login is its record after setting the flag."""
        path = self.work / "trace" / TRACE_NAME
        if not path.exists():
            return
        ino = path.stat().st_ino
        chunks = []
        if self.trace_ino not in (None, ino):
            # Moved aside since the last look: the rest of it is in the older file now.
            with open(str(path) + ".1", "rb") as old:
                old.seek(self.trace_offset)
                chunks.append(old.read())
            self.trace_offset = 0
        self.trace_ino = ino
        with open(path, "rb") as f:
            f.seek(self.trace_offset)
            chunks.append(f.read())
            self.trace_offset = f.tell()
        text = self.trace_pending + b"".join(chunks)
        *lines, self.trace_pending = text.split(b"\n")
        for line in lines:
            enter, leave = b"Enter DoLoginThread()!" in line, b"Leave DoLoginThread()!" in line
            if not (enter or leave):
                continue
            stamp = datetime.strptime(line[:23].decode(), "%Y-%m-%d %H:%M:%S.%f").timestamp()
            t = (stamp - self.wall0) * self.scale
            if enter:
                self.attempt = t
            elif t >= 0:
                self.on_login(self.attempt, t)

    def on_proxy(self, line):
        if line.startswith("switched ") and line.split()[1] == self.awaiting:
            self.awaiting = None

    def plan_proxy(self, cycle, now):
        """The proxy's part of the next cycle, timed from this swap (or the first login)."""
        nxt = cycle + 1
        if nxt >= len(self.plan):
            return
        trouble, length = self.plan[nxt]
        if trouble in ("dialling", "no-network", None):
            return
        start = now + self.real(CYCLE - LEAD)
        self.schedule += [(start, trouble, None), (start + self.real(length), "pass", nxt)]

    def proxy_due(self, now):
        if self.awaiting or not self.schedule or self.schedule[0][0] > now:
            return
        _, fault, ends = self.schedule.pop(0)
        if ends is not None:
            # The fault counts as cleared from the moment it is asked to go.
            self.clear[ends] = self.sim(now)
        self.awaiting = fault
        self.proxy.stdin.write(f"fault {fault}\n")
        self.proxy.stdin.flush()

    # --- samples ------------------------------------------------------------------------------

    def hour(self, t):
        return self.hours[min(int(t // 3600), len(self.hours) - 1)]

    def sample(self):
        pid = self.host.pid
        status = Path(f"/proc/{pid}/status").read_text()
        rss = int(re.search(r"VmRSS:\s+(\d+)", status).group(1))
        threads = int(re.search(r"Threads:\s+(\d+)", status).group(1))
        fds = len(os.listdir(f"/proc/{pid}/fd"))
        files = [p for p in (self.work / "trace").iterdir() if p.is_file()]
        trace = sum(p.stat().st_size for p in files)
        for p in files:
            if p.stat().st_size > TRACE_FILE_BYTES:
                self.fail(f"trace file {p.name} holds {p.stat().st_size} bytes")
        if len([p for p in files if not p.name.endswith(".1")]) * 2 < len(files):
            self.fail(f"more trace files than their bound: {[p.name for p in files]}")
        row = self.hour(self.sim())
        row["rss"] = max(row["rss"], rss)
        row["fds"] = max(row["fds"], fds)
        row["threads"] = max(row["threads"], threads)
        row["trace"] = trace

    def fail(self, text):
        print(f"FAIL: {text}", flush=True)
        self.failures.append(text)

    # --- the run ------------------------------------------------------------------------------

    def run(self):
        self.setup()
        limit = time.monotonic() + self.real(600) + 30
        next_sample = None
        end = None
        print(f"soak: {self.args.hours} simulated hour(s) at {self.scale}x, work {self.work}",
              flush=True)
        print(f"{'hour':>4} {'logins':>6} {'outages':>7} {'worst s':>7} {'RSS kB':>8} "
              f"{'fds':>4} {'threads':>7} {'trace B':>8}", flush=True)
        shown = 0
        while True:
            now = time.monotonic()
            if self.t0 is None and now > limit:
                self.fail("the host never logged in")
                break
            if self.t0 is not None:
                self.read_trace()
                if next_sample is None:
                    next_sample, end = now, self.t0 + self.real(self.args.hours * 3600)
                if now >= next_sample:
                    self.sample()
                    next_sample += self.real(60)
                while shown < len(self.hours) and self.sim(now) >= (shown + 1) * 3600:
                    self.show(shown)
                    shown += 1
                if now >= end:
                    break
                self.proxy_due(now)
            waits = [w - now for w in (next_sample, self.schedule[0][0] if self.schedule
                                       else None, end) if w is not None]
            # The trace is a file: looked at every 50 ms (its records carry their own time).
            timeout = max(0.0, min(waits + [0.05]))
            for key, _ in self.selector.select(timeout):
                # Read from the descriptor: a buffered reader would keep lines select cannot see.
                data = os.read(key.fileobj.fileno(), 65536)
                if not data:
                    self.selector.unregister(key.fileobj)
                    if key.fileobj is self.host.stdout:
                        self.fail("the host ended before the soak did")
                        return self.finish(shown)
                    continue
                pending = self.pending.get(key.fileobj, b"") + data
                *lines, self.pending[key.fileobj] = pending.split(b"\n")
                for line in lines:
                    text = line.decode(errors="replace").rstrip("\r")
                    key.data(text)
                    if self.args.verbose and self.t0 is not None:
                        who = "host " if key.fileobj is self.host.stdout else "proxy"
                        print(f"  {self.sim():7.0f} {who} {text}", flush=True)
        return self.finish(shown)

    def show(self, h):
        r = self.hours[h]
        worst = f"{r['worst']:.0f}" if r["worst"] is not None else "-"
        print(f"{h + 1:>4} {r['logins']:>6} {r['outages']:>7} {worst:>7} {r['rss']:>8} "
              f"{r['fds']:>4} {r['threads']:>7} {r['trace']:>8}", flush=True)

    def finish(self, shown):
        if self.t0 is not None:
            self.read_trace()
        if self.outage and self.t0 is not None:
            cycle, start = self.outage
            if self.sim() - max(start, self.clear.get(cycle) or start) > LIMIT:
                self.fail(f"cycle {cycle}: still logged out at the end")
        base = self.hours[0]
        for h, r in enumerate(self.hours[1:shown], start=2):
            for what in ("fds", "threads") if self.args.ignore_rss else ("rss", "fds", "threads"):
                if r[what] > max(base[what] * GROWTH, base[what]):
                    self.fail(f"hour {h}: {what} {r[what]} against {base[what]} in hour 1")
        self.stop()
        errors = (self.work / "host.log").read_text(errors="replace")
        if re.search(r"Sanitizer|runtime error", errors):
            self.fail("the host's error output holds a sanitizer report")
        worst = max((r["worst"] for r in self.hours if r["worst"] is not None), default=None)
        print(f"soak: {sum(r['logins'] for r in self.hours)} logins, "
              f"{sum(r['outages'] for r in self.hours)} outages, worst recovery "
              f"{'-' if worst is None else f'{worst:.0f}'} s (limit {LIMIT} s)", flush=True)
        if self.failures:
            print(f"soak: FAILED ({len(self.failures)}); the programs' output: {self.work}")
            return 1
        print("soak: PASSED")
        if not self.args.keep:
            shutil.rmtree(self.work, ignore_errors=True)
        return 0

    def stop(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.send_signal(signal.SIGINT if proc is self.host else signal.SIGTERM)
        for proc in self.procs:
            try:
                proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
            if proc.stdout:
                proc.stdout.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--loginhost", required=True)
    parser.add_argument("--plugin", required=True, help="the soak plug-in library")
    parser.add_argument("--server", required=True, help="account-server")
    parser.add_argument("--hours", type=int, default=24)
    parser.add_argument("--scale", type=int, default=60)
    parser.add_argument("--seed", type=int, default=20)
    parser.add_argument("--trace-start", type=int, default=0, metavar="BYTES",
                        help="begin with a trace file this full (its rotation within the run)")
    parser.add_argument("--ignore-rss", action="store_true",
                        help="show RSS without judging it (a sanitizer's allocator grows)")
    parser.add_argument("--keep", action="store_true", help="keep the work directory")
    parser.add_argument("--verbose", action="store_true", help="echo the host's lines")
    args = parser.parse_args()
    soak = Soak(args)
    try:
        sys.exit(soak.run())
    except BaseException:
        soak.stop()
        raise


if __name__ == "__main__":
    main()
