#!/usr/bin/env python3
"""A TCP proxy on loopback that breaks the link to an HTTPS server in chosen ways.

    fault_proxy.py --target PORT [--latency-ms N] [--drip-ms N] [--switch [--backend NAME=PORT]...]
                   [--delay-ms N] [--up-kbit N] [--down-kbit N] [--count-file PATH]

It listens on one port per fault and prints "port FAULT N" for each, then "ready"; every
connection to a port gets that port's fault:

  pass             everything forwarded as it comes
  latency          every piece forwarded after --latency-ms (default 100)
  refuse           nothing listens: the connect is refused
  blackhole        the connect is never answered (the listen queue is kept full)
  stall-handshake  connected, but the server never sees the client's hello
  stall-request    the request reaches the server; nothing of the reply comes back
  stall-headers    the reply's head comes back, then nothing
  stall-body       the head and the body's first record come back, then nothing
  drip             the reply comes back a byte every --drip-ms (default 1000)
  reset            the reply's head comes back, then the connection is reset
  link             a slow link: each direction delivers every piece --delay-ms after it left
                   (default 0), no faster than --up-kbit towards the server and --down-kbit
                   back (0: no cap); pieces in flight do not wait for each other

With --count-file the proxy keeps in that file, for the link port, the connections it took and
the TLS handshakes their clients began, full or resumed ("connections N full N resumed N").

It reads the TLS record headers (not their content) to find the request and the reply: the
request is the client's first application-data record after the handshake, the reply's head
is the server's first record after it, its body the records after that. The server must send
no session tickets (account-server --no-tickets) and write head and body separately.
Each event is printed ("FAULT: ..."), so that a test can wait for what happened.

With --switch one more port, "port switch N", carries a fault chosen at run time: it starts as
pass, and a line "fault NAME" on the standard input gives it another fault or, for a name given
with --backend, forwards it unharmed to that server (a captive portal, an overloaded server).
The links made under the fault before are cut, as a link that comes back drops what it held, and
"switched NAME" is printed once the port works the new way.
"""

import argparse
import queue
import socket
import struct
import threading
import time

FAULTS = [
    "pass", "latency", "refuse", "blackhole", "stall-handshake", "stall-request",
    "stall-headers", "stall-body", "drip", "reset", "link",
]
HANDSHAKE = 22
CLIENT_HELLO = 1
PRE_SHARED_KEY = 41   # a TLS 1.3 client offering to resume
SESSION_TICKET = 35   # a TLS 1.2 client resuming when the extension carries a ticket
APPLICATION_DATA = 23
# A stall holds the client's connection even after the server has closed its own (its keep-alive
# time-out may be shorter than the client's).
STALLS = ("stall-request", "stall-headers", "stall-body")

print_lock = threading.Lock()


def say(text):
    with print_lock:
        print(text, flush=True)


class Records:
    """Splits one direction of a TLS stream into records; only their headers are read."""

    def __init__(self):
        self.buffer = b""

    def feed(self, data):
        """The records that `data` completes, as (type, bytes of the whole record)."""
        self.buffer += data
        records = []
        while len(self.buffer) >= 5:
            kind, _version, length = struct.unpack("!BHH", self.buffer[:5])
            if len(self.buffer) < 5 + length:
                break
            records.append((kind, self.buffer[:5 + length]))
            self.buffer = self.buffer[5 + length:]
        return records


class Counts:
    """What the link port saw, kept in --count-file."""

    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.values = {"connections": 0, "full": 0, "resumed": 0}
        self.write()

    def add(self, name):
        with self.lock:
            self.values[name] += 1
            self.write()

    def write(self):
        if self.path:
            with open(self.path + ".new", "w") as out:
                out.write(" ".join(f"{k} {v}" for k, v in self.values.items()) + "\n")
            import os
            os.replace(self.path + ".new", self.path)


def resumes(hello):
    """Whether a ClientHello record offers to resume a session; None if it is none."""
    try:
        if hello[0] != HANDSHAKE or hello[5] != CLIENT_HELLO:
            return None
        at = 5 + 4 + 2 + 32
        at += 1 + hello[at]                                  # session id
        at += 2 + struct.unpack("!H", hello[at:at + 2])[0]   # cipher suites
        at += 1 + hello[at]                                  # compression methods
        end = at + 2 + struct.unpack("!H", hello[at:at + 2])[0]
        at += 2
        while at + 4 <= end:
            kind, length = struct.unpack("!HH", hello[at:at + 4])
            if kind == PRE_SHARED_KEY or (kind == SESSION_TICKET and length > 0):
                return True
            at += 4 + length
        return False
    except (IndexError, struct.error):
        return None


def pipe(src, dst, delay, kbit, on_first=None):
    """Forwards src to dst as a link of that delay and rate would, then half-closes dst."""
    pending = queue.Queue()

    def deliver():
        while True:
            item = pending.get()
            if item is None:
                break
            at, data = item
            wait = at - time.monotonic()
            if wait > 0:
                time.sleep(wait)
            try:
                dst.sendall(data)
            except OSError:
                break
        try:
            dst.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    sender = threading.Thread(target=deliver, daemon=True)
    sender.start()
    free = 0.0   # when the link has sent what it was given
    first = b""
    try:
        while True:
            data = src.recv(65536)
            if not data:
                break
            if on_first is not None and len(first) < 16384:
                first += data
                records = Records().feed(first)
                if records:
                    on_first(records[0][1])
                    on_first = None
            start = max(time.monotonic(), free)
            free = start + (len(data) * 8 / (kbit * 1000) if kbit else 0)
            pending.put((free + delay, data))
    except OSError:
        pass
    pending.put(None)
    sender.join()


class Link:
    """One client's connection and the server connection made for it."""

    def __init__(self, fault, client, target, options, on_close=None):
        self.fault = fault
        self.on_close = on_close
        self.client = client
        self.target = target
        self.options = options
        self.server = None
        self.lock = threading.Lock()
        self.server_sent_data = False   # before the client's first application data: TLS 1.3
        self.client_data_records = 0
        self.request_seen = False
        self.reply_records = 0
        self.closed = False

    def close(self, reset=False):
        with self.lock:
            if self.closed:
                return
            self.closed = True
        if self.on_close:
            self.on_close(self)
        for sock in (self.client, self.server):
            if sock is None:
                continue
            try:
                if reset:
                    # Closed with unsent data dropped: a reset. Shutting the reading side first
                    # wakes the other pump's receive, which would otherwise keep the socket.
                    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                    struct.pack("ii", 1, 0))
                    sock.shutdown(socket.SHUT_RD)
                else:
                    sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            sock.close()

    def run_link(self):
        counts = self.options.counts
        counts.add("connections")

        def hello(record):
            resumed = resumes(record)
            if resumed is not None:
                counts.add("resumed" if resumed else "full")

        delay = self.options.delay_ms / 1000
        upstream = threading.Thread(
            target=pipe, args=(self.client, self.server, delay, self.options.up_kbit, hello),
            daemon=True)
        upstream.start()
        pipe(self.server, self.client, delay, self.options.down_kbit)
        upstream.join()
        self.close()

    def run(self):
        if self.fault == "stall-handshake":
            say(f"{self.fault}: holding the handshake")
            self.drain(self.client)
            self.close()
            return
        try:
            self.server = socket.create_connection(("127.0.0.1", self.target))
        except OSError as error:
            say(f"{self.fault}: cannot reach the server: {error}")
            self.close()
            return
        for sock in (self.client, self.server):
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if self.fault == "link":
            self.run_link()
            return
        upstream = threading.Thread(target=self.client_to_server, daemon=True)
        upstream.start()
        self.server_to_client()
        upstream.join()

    def drain(self, sock):
        """Reads until the peer goes, forwarding nothing."""
        try:
            while sock.recv(65536):
                pass
        except OSError:
            pass

    def delay(self):
        if self.fault == "latency":
            time.sleep(self.options.latency_ms / 1000)

    def client_to_server(self):
        records = Records()
        told = False
        try:
            while True:
                data = self.client.recv(65536)
                if not data:
                    break
                self.delay()
                for kind, _ in records.feed(data):
                    if kind != APPLICATION_DATA:
                        continue
                    with self.lock:
                        self.client_data_records += 1
                        # Under TLS 1.3 the client's Finished is application data too.
                        request_index = 2 if self.server_sent_data else 1
                        if self.client_data_records == request_index:
                            self.request_seen = True
                try:
                    self.server.sendall(data)
                except OSError:
                    if self.fault not in STALLS:
                        raise
                if self.request_seen and not told:
                    told = True
                    say(f"{self.fault}: request forwarded")
        except OSError:
            pass
        self.close()

    def server_to_client(self):
        records = Records()
        held = False
        try:
            while True:
                data = self.server.recv(65536)
                if not data:
                    break
                self.delay()
                if held:
                    continue
                with self.lock:
                    request_seen = self.request_seen
                if not request_seen:
                    for kind, _ in records.feed(data):
                        if kind == APPLICATION_DATA and self.client_data_records == 0:
                            with self.lock:
                                self.server_sent_data = True
                    self.client.sendall(data)
                    continue
                if self.fault in ("pass", "latency"):
                    self.client.sendall(data)
                elif self.fault == "stall-request":
                    say(f"{self.fault}: holding the reply")
                    held = True
                elif self.fault == "drip":
                    for byte in data:
                        self.client.sendall(bytes([byte]))
                        time.sleep(self.options.drip_ms / 1000)
                else:
                    held = self.forward_reply(records.feed(data))
                    if held and self.fault == "reset":
                        say(f"{self.fault}: resetting the connection")
                        self.close(reset=True)
                        return
        except OSError:
            pass
        if self.fault in STALLS and self.request_seen and not self.closed:
            return  # the client's side stays open until the client leaves
        self.close()

    def forward_reply(self, records):
        """Forwards the reply's records up to the fault's point; True once it is reached."""
        keep = {"stall-headers": 1, "reset": 1, "stall-body": 2}[self.fault]
        for _, record in records:
            if self.reply_records >= keep:
                return True
            self.reply_records += 1
            self.client.sendall(record)
            if self.reply_records == keep:
                say(f"{self.fault}: holding after {keep} record(s) of the reply")
                return True
        return False


def serve(fault, listener, target, options):
    while True:
        try:
            client, _ = listener.accept()
        except OSError:
            return
        link = Link(fault, client, target, options)
        threading.Thread(target=link.run, daemon=True).start()


def open_port(fault, port=0):
    """The socket of one fault's port, listening (or, for refuse, only bound)."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("127.0.0.1", port))
    if fault == "refuse":
        return sock, []
    if fault == "blackhole":
        # A queue of one, filled by a connection never accepted: later SYNs are dropped.
        sock.listen(0)
        filler = socket.create_connection(sock.getsockname())
        return sock, [filler]
    sock.listen(16)
    return sock, []


class Switch:
    """The port whose fault the standard input chooses."""

    def __init__(self, target, backends, options):
        self.target = target
        self.backends = backends
        self.options = options
        self.lock = threading.Lock()
        self.fault = "pass"
        self.links = set()
        self.listener, self.kept = open_port("pass")
        self.port = self.listener.getsockname()[1]

    def serve(self):
        """Accepts on the port until it is opened anew for a fault that accepts nothing."""
        while True:
            with self.lock:
                listener, fault = self.listener, self.fault
            if fault in ("refuse", "blackhole"):
                return
            try:
                client, _ = listener.accept()
            except OSError:
                continue  # the port was opened anew for another fault
            with self.lock:  # the fault of the moment the connection came
                fault = self.fault
                if fault in ("refuse", "blackhole"):  # came just before the port closed
                    client.close()
                    continue
                name = "pass" if fault in self.backends else fault
                target = self.backends.get(fault, self.target)
                link = Link(name, client, target, self.options, on_close=self.forget)
                self.links.add(link)
            threading.Thread(target=link.run, daemon=True).start()

    def forget(self, link):
        with self.lock:
            self.links.discard(link)

    def set(self, fault):
        with self.lock:
            old, links = self.fault, list(self.links)
            self.fault = fault
            self.links.clear()
            if {old, fault} & {"refuse", "blackhole"}:
                # The port itself changes: closed (waking the accept), then opened the new way.
                for sock in self.kept:
                    sock.close()
                try:
                    self.listener.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                self.listener.close()
                self.listener, self.kept = open_port(fault, self.port)
                if old in ("refuse", "blackhole"):
                    threading.Thread(target=self.serve, daemon=True).start()
        for link in links:
            link.close(reset=True)
        say(f"switched {fault}")


def control(switch):
    """Reads "fault NAME" lines until the standard input ends."""
    import sys
    for line in sys.stdin:
        words = line.split()
        if len(words) == 2 and words[0] == "fault" and (
                words[1] in FAULTS or words[1] in switch.backends):
            switch.set(words[1])
        elif words:
            say(f"unknown control line: {line.strip()}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--target", type=int, required=True, help="the server's loopback port")
    parser.add_argument("--latency-ms", type=int, default=100)
    parser.add_argument("--drip-ms", type=int, default=1000)
    parser.add_argument("--switch", action="store_true",
                        help="one more port whose fault the standard input switches")
    parser.add_argument("--backend", action="append", default=[], metavar="NAME=PORT",
                        help="a server the switched port may forward to instead")
    parser.add_argument("--delay-ms", type=int, default=0, help="the link's one-way delay")
    parser.add_argument("--up-kbit", type=int, default=0, help="the link's rate to the server")
    parser.add_argument("--down-kbit", type=int, default=0, help="the link's rate back")
    parser.add_argument("--count-file", help="where the link port's counts are kept")
    options = parser.parse_args()
    options.counts = Counts(options.count_file)
    backends = {}
    for text in options.backend:
        name, _, port = text.partition("=")
        if not port.isdigit() or name in FAULTS:
            parser.error(f"--backend takes NAME=PORT, NAME not a fault: {text}")
        backends[name] = int(port)

    kept = []
    for fault in FAULTS:
        sock, extra = open_port(fault)
        kept.append(sock)
        kept.extend(extra)
        say(f"port {fault} {sock.getsockname()[1]}")
        if fault not in ("refuse", "blackhole"):
            threading.Thread(target=serve, args=(fault, sock, options.target, options),
                             daemon=True).start()
    if options.switch:
        switch = Switch(options.target, backends, options)
        say(f"port switch {switch.port}")
        threading.Thread(target=switch.serve, daemon=True).start()
        threading.Thread(target=control, args=(switch,), daemon=True).start()
    say("ready")
    try:
        threading.Event().wait()  # until the test stops it
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
