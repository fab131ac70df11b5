#!/usr/bin/python3
'''Scenarios of `loginhost watch` against the account server on loopback, on a private D-Bus
daemon that stands in for the system bus (DBUS_SYSTEM_BUS_ADDRESS): python-dbusmock's network
service template and the project's own modem service mock (tests/support/modemmanager_mock.py).
The same daemon is the session bus, where python-dbusmock's notification service template takes
the notices and watch publishes its state (read by `loginhost status` and `gdbus monitor`).

Every step waits for the line that watch (or the server) prints; the only time limit is a guard
against a hang. The time from a modem appearing on the bus to the server's first request is
printed as a figure, never asserted.

usage: watch_test.py SCENARIO LOGINHOST PLUGIN ACCOUNT_SERVER WORKDIR
'''

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

import dbus

SKIP = 77
IMSI_A, IMSI_B = '460001234567890', '460009876543210'
MODEM_ID, OTHER_ID = '356938035643809', '867530900000001'
GUARD = 30  # seconds before a wait counts as a hang
MOCK_IFACE = 'org.freedesktop.DBus.Mock'
MM_MOCK = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'support',
                       'modemmanager_mock.py')
NM_MODEM = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'networkmanager_modem.py')
MODEM_DISABLED, MODEM_REGISTERED, NM_CONNECTING, NM_CONNECTED_GLOBAL = 3, 8, 40, 70
DEVICE_PREPARE, DEVICE_IP_CONFIG, DEVICE_ACTIVATED = 40, 70, 100
MODEM_LOCK_NONE, MODEM_LOCK_SIM_PIN, MODEM_LOCK_SIM_PUK = 1, 2, 4
NM_CONNECTIVITY_NONE, NM_CONNECTIVITY_FULL = 1, 4


class Failed(Exception):
    pass


class Lines:
    '''The lines of a program's stream as they come, each with the time it was read.'''

    def __init__(self, stream, name):
        self.name = name
        self.lines = []  # (monotonic time, text)
        self.cursor = 0
        self.closed = False
        self.cond = threading.Condition()
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for raw in stream:
            line = raw.decode('utf-8', 'replace').rstrip('\n')
            with self.cond:
                self.lines.append((time.monotonic(), line))
                self.cond.notify_all()
        with self.cond:
            self.closed = True
            self.cond.notify_all()

    def expect(self, match, what):
        '''Waits for the next line (after the last one expected) that `match` accepts.'''
        deadline = time.monotonic() + GUARD
        with self.cond:
            while True:
                while self.cursor < len(self.lines):
                    stamp, line = self.lines[self.cursor]
                    self.cursor += 1
                    if match(line):
                        return stamp, line
                if self.closed:
                    raise Failed(f'{self.name} ended without {what}')
                left = deadline - time.monotonic()
                if left <= 0:
                    raise Failed(f'{self.name}: no {what} within {GUARD} s')
                self.cond.wait(left)

    def expect_each(self, matches, what):
        '''Waits for a line that each of `matches` accepts, in any order (lines that two threads
        print); the next wait starts after the last of them.'''
        start, end = self.cursor, self.cursor
        for match in matches:
            self.cursor = start
            self.expect(match, what)
            end = max(end, self.cursor)
        self.cursor = end

    def text(self):
        with self.cond:
            return [line for _, line in self.lines]


class World:
    '''A private bus, the services on it, the account server and watch, all stopped at the end.'''

    def __init__(self, loginhost, plugin, server, work, server_args=()):
        self.loginhost, self.plugin, self.server_bin, self.work = loginhost, plugin, server, work
        self.procs = []
        self.mm = self.nm = self.watch = self.notifications = None
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(os.path.join(work, 'profile'))
        os.makedirs(os.path.join(work, 'keys'))
        # An installed host has made its registry key: the plug-in keeps its default identity.
        os.makedirs(os.path.join(work, 'registry', 'Software', 'Mirolan', 'Velko'))
        daemon = self._spawn(['dbus-daemon', '--session', '--nofork', '--print-address=1'],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        address = daemon.stdout.readline().decode().strip()
        if not address:
            raise Failed('dbus-daemon did not start')
        self.env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=address,
                        DBUS_SESSION_BUS_ADDRESS=address,
                        LOGINPLUGIN_REGISTRY=os.path.join(work, 'registry'))
        self.bus = dbus.bus.BusConnection(address)
        self.server = self._spawn([server, '--port', '0'] + list(server_args),
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        word, port = (self.server.stdout.readline().decode().split() + ['', ''])[:2]
        if word != 'port':
            raise Failed('account-server did not start')
        self.server_lines = Lines(self.server.stderr, 'account-server')
        with open(os.path.join(work, 'profile', 'system.ini'), 'w') as f:
            f.write(f'[LOGIN]\nURL=https://127.0.0.1:{port}/login\n'
                    f'[REGISTER]\nURL=https://127.0.0.1:{port}/register\n'
                    '[CURRENT_USER_PRIVATE_DIR]\nPATH=keys/\n')

    def _spawn(self, argv, **kwargs):
        proc = subprocess.Popen(argv, cwd=self.work, env=getattr(self, 'env', None), **kwargs)
        self.procs.append(proc)
        return proc

    def _wait_name(self, name, bus='--system'):
        # gdbus wait follows the bus's own signals: no polling.
        if subprocess.run(['gdbus', 'wait', bus, '--timeout', str(GUARD), name],
                          env=self.env).returncode != 0:
            raise Failed(f'{name} did not come on the bus')

    def start_modem_service(self, modems=()):
        params = json.dumps({'modems': [{'id': i, 'imsi': imsi, 'spn': 'CMCC',
                                         'state': MODEM_REGISTERED} for i, imsi in modems]})
        self.mm_proc = self._spawn(['/usr/bin/python3', '-m', 'dbusmock', '--template', MM_MOCK,
                                    '--system', '-p', params], stdout=subprocess.DEVNULL)
        self._wait_name('org.freedesktop.ModemManager1')
        self.mm = dbus.Interface(self.bus.get_object('org.freedesktop.ModemManager1',
                                                     '/org/freedesktop/ModemManager1'),
                                 MOCK_IFACE)

    def stop_modem_service(self):
        self.mm_proc.terminate()
        self.mm_proc.wait()

    def start_network_service(self):
        self._spawn(['/usr/bin/python3', '-m', 'dbusmock', '--template', 'networkmanager',
                     '--system'], stdout=subprocess.DEVNULL)
        self._wait_name('org.freedesktop.NetworkManager')
        self.nm = dbus.Interface(self.bus.get_object('org.freedesktop.NetworkManager',
                                                     '/org/freedesktop'), MOCK_IFACE)

    def start_notifications(self):
        '''The desktop's notification service; its log says each call as it comes.'''
        proc = self._spawn(['/usr/bin/python3', '-m', 'dbusmock', '--template',
                            'notification_daemon'], stdout=subprocess.PIPE)
        self.notify_lines = Lines(proc.stdout, 'notification service')
        self._wait_name('org.freedesktop.Notifications', '--session')
        self.notifications = dbus.Interface(self.bus.get_object(
            'org.freedesktop.Notifications', '/org/freedesktop/Notifications'), MOCK_IFACE)

    def expect_notice(self):
        self.notify_lines.expect(lambda line: ' Notify ' in line, 'a notice')

    def notices(self):
        '''(app, replaces_id, icon, summary, body) of each notice the service was given.'''
        return [(str(a[0]), int(a[1]), str(a[2]), str(a[3]), str(a[4]))
                for _, method, a in self.notifications.GetCalls() if method == 'Notify']

    def status(self, *args):
        '''`loginhost status`: its exit status and what it printed (parsed with --json).'''
        done = subprocess.run([self.loginhost, 'status'] + list(args), env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=GUARD)
        out = done.stdout.decode()
        return done.returncode, json.loads(out) if '--json' in args and out else out

    def expect_status(self, code, **fields):
        status, record = self.status('--json')
        got = {k: record.get(k) for k in fields}
        if status != code or got != fields:
            raise Failed(f'status {status} {record}, not {code} {fields}')
        return record

    def monitor_state(self):
        '''The watch object's PropertiesChanged signals, as gdbus monitor prints them.'''
        self._wait_name('org.loginplugin.Watch1', '--session')
        proc = self._spawn(['gdbus', 'monitor', '--session', '--dest', 'org.loginplugin.Watch1',
                            '--object-path', '/org/loginplugin/Watch1'], stdout=subprocess.PIPE)
        self.state_lines = Lines(proc.stdout, 'gdbus monitor')
        self.state_lines.expect(lambda line: 'owned by' in line, 'the monitor watching')

    def expect_state(self, word):
        self.state_lines.expect(lambda line: 'PropertiesChanged' in line and
                                f"'State': <'{word}'>" in line, f'State {word} signalled')

    def start_watch(self, *args, journal=False, plugin=None):
        '''journal: watch's output is the journal's stream, as systemd hands it to a service.'''
        argv = [self.loginhost, 'watch', '--profile', 'profile', '--plugin',
                plugin or self.plugin] + list(args)
        if not journal:
            self.watch_proc = self._spawn(argv, stdout=subprocess.PIPE)
            self.watch = Lines(self.watch_proc.stdout, 'watch')
            return
        read, write = os.pipe()
        st = os.fstat(write)
        saved = self.env
        self.env = dict(saved, JOURNAL_STREAM=f'{st.st_dev}:{st.st_ino}')
        try:
            self.watch_proc = self._spawn(argv, stdout=write)
        finally:
            self.env = saved
            os.close(write)
        self.watch = Lines(os.fdopen(read, 'rb'), 'watch')

    def stop_watch(self):
        '''SIGTERM: the plug-in is shut down cleanly and watch ends with status 0.'''
        self.watch_proc.send_signal(signal.SIGTERM)
        status = self.watch_proc.wait(GUARD)
        if status != 0:
            raise Failed(f'watch ended with status {status}')
        self.expect(r'shutdown\W+("text":")?OnDestroy, Release')

    def expect(self, pattern):
        return self.watch.expect(lambda line: re.search(pattern, line), repr(pattern))

    def expect_each(self, *patterns):
        self.watch.expect_each([lambda line, p=p: re.search(p, line) for p in patterns],
                               repr(patterns))

    def expect_json(self, **fields):
        def match(line):
            try:
                record = json.loads(line)
            except ValueError:
                raise Failed(f'watch --json printed a line that is not JSON: {line}')
            return all(record.get(k) == v for k, v in fields.items())
        return self.watch.expect(match, f'a JSON line with {fields}')

    def requests(self):
        '''What the server received, one a line: "register CID", "login CID PASSWORD".'''
        out = []
        for line in self.server_lines.text():
            m = re.match(r'account-server: POST /(register|login) \[cid=([^&]*)(&pass=([^&]*))?',
                         line)
            if m:
                out.append(' '.join(x for x in (m.group(1), m.group(2), m.group(4)) if x))
        return out

    def expect_requests(self, *expected):
        got = self.requests()
        if got != list(expected):
            raise Failed(f'the server received {got}, not {list(expected)}')

    def first_request_time(self):
        return self.server_lines.expect(lambda l: l.startswith('account-server: POST'),
                                        'a request')[0]

    def close(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
        for proc in reversed(self.procs):
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()


def password_of(world, cid):
    logins = [r.split() for r in world.requests() if r.startswith('login ' + cid)]
    return logins[-1][2]


def appear_and_return(w):
    '''A modem appears and its SIM logs in; it is removed and comes back, then disabled and
    enabled: logged in again each time without the server, as the plug-in does for the SIM of
    its last login.'''
    w.start_network_service()
    w.start_modem_service()
    w.start_watch()
    w.expect(r'^network +connected, connectivity \(connect state 1, check 0\)$')
    w.expect(r'^modem +none \(device error 10301\); waiting for one$')
    # A modem without a SIM is no card; the login object waits for one.
    w.mm.AddModem(OTHER_ID, '', '', MODEM_REGISTERED)
    w.expect(rf'^modem +found {OTHER_ID} at ')
    w.expect(r'^sim +none in the modem \(device error 10301\)$')
    added = time.monotonic()
    path = w.mm.AddModem(MODEM_ID, IMSI_A, 'CMCC', MODEM_REGISTERED)
    w.expect(rf'^modem +set aside {OTHER_ID} at ')
    w.expect(rf'^modem +found {MODEM_ID} at {path}$')
    w.expect(rf'^sim +imsi={IMSI_A} spn=CMCC$')
    w.expect(r'^event +50082 from the card to 1 listener\(s\)$')
    w.expect(r'^start +StartLogin true$')
    w.expect(r'^login +attempt 1$')
    w.expect(r'^progress +\+[0-9.]+s logged in$')
    first = w.first_request_time()
    print(f'figure: modem on the bus to the first request at the server: {first - added:.3f} s')
    w.expect_requests(f'register {IMSI_A}', f'login {IMSI_A} {password_of(w, IMSI_A)}')

    w.mm.RemoveModem(path)
    w.expect(rf'^modem +gone {MODEM_ID} at {path}$')
    w.expect(r'^event +50083 from the card')
    w.expect(r'^progress +\+[0-9.]+s not logged in$')
    path = w.mm.AddModem(MODEM_ID, IMSI_A, 'CMCC', MODEM_REGISTERED)
    w.expect(rf'^modem +found {MODEM_ID} at {path}$')
    w.expect(r'^event +50082 from the card')
    w.expect(r'^progress +\+[0-9.]+s logged in$')
    # Disabled, the modem's SIM is no card; enabled again, it is.
    w.mm.SetModemState(path, MODEM_DISABLED)
    w.expect(r'^sim +not ready, modem disabled \(the desktop.s mobile-broadband switch is off\?\) '
             r'\(device error 14\)$')
    w.expect(r'^event +50083 from the card')
    w.expect(r'^progress +\+[0-9.]+s not logged in$')
    w.mm.SetModemState(path, MODEM_REGISTERED)
    w.expect(r'^event +50082 from the card')
    w.expect(r'^progress +\+[0-9.]+s logged in$')
    w.stop_watch()
    w.expect_requests(f'register {IMSI_A}', f'login {IMSI_A} {password_of(w, IMSI_A)}')


def network_holds(w):
    '''While the network service connects, and then while it has no connectivity, the due login
    waits; with connectivity it goes out.'''
    w.start_network_service()
    w.nm.SetGlobalConnectionState(dbus.UInt32(NM_CONNECTING))
    w.nm.SetConnectivity(dbus.UInt32(NM_CONNECTIVITY_NONE))
    w.start_modem_service([(MODEM_ID, IMSI_A)])
    w.start_watch()
    w.expect(r'^network +connecting, no connectivity \(connect state 2, check -1\)$')
    w.expect(r'^start +StartLogin true$')
    w.expect(r'^held +login due, held back: connect state 2$')
    w.expect_requests()
    w.nm.SetGlobalConnectionState(dbus.UInt32(NM_CONNECTED_GLOBAL))
    w.expect(r'^network +connected, no connectivity \(connect state 1, check -1\)$')
    w.expect(r'^held +login due, held back: no connectivity \(check -1\)$')
    w.expect_requests()
    w.nm.SetConnectivity(dbus.UInt32(NM_CONNECTIVITY_FULL))
    w.expect(r'^network +connected, connectivity \(connect state 1, check 0\)$')
    w.expect(r'^login +attempt 1$')
    w.expect(r'^progress +\+[0-9.]+s logged in$')
    w.stop_watch()
    w.expect_requests(f'register {IMSI_A}', f'login {IMSI_A} {password_of(w, IMSI_A)}')


def device_connecting(w):
    '''Wi-Fi is up (the service connected, with connectivity) while the data card's own device
    still connects: the login waits for the card's device, not for the service as a whole.'''
    w.start_network_service()
    w.nm.AddTemplate(NM_MODEM, dbus.Dictionary({}, signature='sv'))
    device = w.nm.AddModemDevice('ttyUSB2', '/org/freedesktop/ModemManager1/Modem/1',
                                 dbus.UInt32(DEVICE_PREPARE))
    w.start_modem_service([(MODEM_ID, IMSI_A)])
    w.start_watch()
    w.expect(r'^network +connected, data card connecting, connectivity '
             r'\(connect state 2, check 0\)$')
    w.expect(r'^start +StartLogin true$')
    w.expect(r'^held +login due, held back: connect state 2$')
    w.expect_requests()
    w.nm.SetModemDeviceState(device, dbus.UInt32(DEVICE_IP_CONFIG))
    w.nm.SetModemDeviceState(device, dbus.UInt32(DEVICE_ACTIVATED))
    w.expect(r'^network +connected, data card connected, connectivity '
             r'\(connect state 1, check 0\)$')
    w.expect(r'^login +attempt 1$')
    w.expect(r'^progress +\+[0-9.]+s logged in$')
    w.stop_watch()
    w.expect_requests(f'register {IMSI_A}', f'login {IMSI_A} {password_of(w, IMSI_A)}')


def sim_swap(w):
    '''SIM B comes while the network connects (the login waits); A comes back (logged in again
    without the server); B once more, and the network is up: B registers and logs in.'''
    w.start_network_service()
    w.start_modem_service([(MODEM_ID, IMSI_A)])
    w.start_watch()
    w.expect(r'^progress +\+[0-9.]+s logged in$')
    path = '/org/freedesktop/ModemManager1/Modem/1'
    w.nm.SetGlobalConnectionState(dbus.UInt32(NM_CONNECTING))
    w.expect(r'^network +connecting')
    w.mm.SwapSim(path, IMSI_B, 'CMCC')
    w.expect(r'^event +50083 from the card')
    w.expect(rf'^sim +imsi={IMSI_B} spn=CMCC$')
    w.expect(r'^event +50082 from the card')
    # The worker says it is held back on its thread, the host sees the login drop on its own.
    w.expect_each(r'^progress +\+[0-9.]+s not logged in$',
                  r'^held +login due, held back: connect state 2$')
    w.mm.SwapSim(path, IMSI_A, 'CMCC')
    w.expect(rf'^sim +imsi={IMSI_A} spn=CMCC$')
    w.expect(r'^progress +\+[0-9.]+s logged in$')
    w.mm.SwapSim(path, IMSI_B, 'CMCC')
    w.expect(r'^progress +\+[0-9.]+s not logged in$')
    w.nm.SetGlobalConnectionState(dbus.UInt32(NM_CONNECTED_GLOBAL))
    w.expect(r'^login +attempt 2$')
    w.expect(r'^progress +\+[0-9.]+s logged in$')
    # A modem that re-creates its object for a new SIM: gone, found again, and A logs in again.
    path = w.mm.ReplugModem(path, IMSI_A, 'CMCC')
    w.expect(r'^event +50083 from the card')
    w.expect(rf'^modem +found {MODEM_ID} at {path}$')
    w.expect(rf'^sim +imsi={IMSI_A} spn=CMCC$')
    w.expect(r'^event +50082 from the card')
    w.expect(r'^progress +\+[0-9.]+s logged in$')
    w.stop_watch()
    logins = [r.split() for r in w.requests() if r.startswith('login ')]
    password_a, password_b = logins[0][2], password_of(w, IMSI_B)
    # The new object's SIM is signed in afresh: B's password is refused for A, which registers.
    w.expect_requests(f'register {IMSI_A}', f'login {IMSI_A} {password_a}',
                      f'login {IMSI_B} {password_a}', f'register {IMSI_B}',
                      f'login {IMSI_B} {password_b}', f'login {IMSI_A} {password_b}',
                      f'register {IMSI_A}', f'login {IMSI_A} {password_of(w, IMSI_A)}')


def service_restart(w):
    '''No service at first: watch says so once and waits. The modem service restarts under a
    logged-in SIM: the card goes and comes back, and the login holds without the server.
    --modem picks the second modem; --json prints JSON lines.'''
    w.start_watch('--json', '--modem', MODEM_ID)
    w.expect_json(what='network', state='no-service')
    w.expect_json(what='modem', state='no-service')
    w.start_network_service()
    w.expect_json(what='network', state='connected', check=0)
    modems = [(OTHER_ID, IMSI_B), (MODEM_ID, IMSI_A)]
    w.start_modem_service(modems)
    w.expect_json(what='modem', state='found', id=MODEM_ID)
    w.expect_json(what='sim', status='ready', imsi=IMSI_A)
    w.expect_json(what='progress', login=True)
    w.stop_modem_service()
    w.expect_json(what='modem', state='no-service')
    w.expect_json(what='progress', login=False)
    w.start_modem_service(modems)
    w.expect_json(what='modem', state='service')
    w.expect_json(what='modem', state='found', id=MODEM_ID)
    w.expect_json(what='progress', login=True)
    w.stop_watch()
    w.expect_requests(f'register {IMSI_A}', f'login {IMSI_A} {password_of(w, IMSI_A)}')
    said = [json.loads(line) for line in w.watch.text()]
    if sum(1 for r in said if r['what'] == 'network' and r.get('state') == 'no-service') != 1:
        raise Failed('the missing network service was not said exactly once')


def locked(w):
    '''A modem whose SIM waits for its PIN, then its PUK: watch says what to do, no card event
    goes out and the plug-in is told the host's own codes; unlocked, the SIM logs in.'''
    w.start_network_service()
    w.start_modem_service()
    w.start_watch()
    w.expect(r'^modem +none \(device error 10301\); waiting for one$')
    path = w.mm.AddModem(MODEM_ID, IMSI_A, 'CMCC', MODEM_REGISTERED)
    w.mm.SetModemLock(path, MODEM_LOCK_SIM_PIN)
    w.expect(r'^sim +SIM PIN required: unlock it in the desktop.s prompt or with mmcli -i [0-9]+ '
             r'--pin=\.\.\. \(device error 10302\)$')
    w.mm.SetModemLock(path, MODEM_LOCK_SIM_PUK)
    w.expect(r'^sim +SIM PUK required: unlock it with mmcli -i [0-9]+ --puk=\.\.\. --pin=NEW '
             r'\(device error 10303\)$')
    w.mm.SetModemLock(path, MODEM_LOCK_NONE)
    w.expect(r'^sim +not ready, modem locked \(device error 14\)$')
    w.mm.SetModemState(path, MODEM_REGISTERED)
    w.expect(rf'^sim +imsi={IMSI_A} spn=CMCC$')
    w.expect(r'^event +50082 from the card to 1 listener\(s\)$')
    w.expect(r'^progress +\+[0-9.]+s logged in$')
    w.stop_watch()
    lines = w.watch.text()
    first_event = next(i for i, line in enumerate(lines) if line.startswith('event'))
    ready = next(i for i, line in enumerate(lines) if line.startswith('sim') and 'imsi=' in line)
    if first_event < ready:
        raise Failed('a card event before the SIM was unlocked')


def no_spn(w):
    '''A SIM whose name the service cannot decode (UCS2, or no name file) comes with an empty
    OperatorName: watch says why the login is held; with the host's fallback name (string 11004)
    the SIM logs in under it, and so it does with its operator named in the profile's
    operators.ini or in a table given with --operators.'''
    w.start_network_service()
    w.start_modem_service()
    # Run as the journal runs a service: each line says its priority, a warning here.
    w.start_watch(journal=True)
    w.mm.AddModem(MODEM_ID, IMSI_A, '', MODEM_REGISTERED)
    w.expect(rf'^<6>sim +imsi={IMSI_A} spn=$')
    w.expect(r'^<4>held +no SPN from the modem service: ')
    # The worker's login sequence stops at the SIM's type, before any request.
    w.expect(r'^<4>trace +\+[0-9.]+s WARN strSimTypeID equal')
    w.stop_watch()
    if w.requests():
        raise Failed(f'requests without a brand: {w.requests()}')
    if any(re.match(r'(<6>)?login +attempt', line) for line in w.watch.text()):
        raise Failed('a login attempt said without a request')
    if not all(re.match(r'<[346]>', line) for line in w.watch.text()):
        raise Failed('a line for the journal without its priority')
    # An error is one for the journal; without the journal's stream, no priorities.
    w.start_watch(journal=True, plugin=os.path.join(w.work, 'no-such-plugin.so'))
    w.expect(r'^<3>error +')
    if w.watch_proc.wait(GUARD) != 2:
        raise Failed('watch without its plug-in did not end with status 2')
    with open(os.path.join(w.work, 'profile', 'strings.ini'), 'w') as f:
        f.write('11004=CMCC\n')
    w.start_watch()
    w.expect(r'^progress +\+[0-9.]+s logged in$')
    w.stop_watch()
    if any(line.startswith('held') and 'SPN' in line for line in w.watch.text()):
        raise Failed('held for a SPN with the fallback name given')
    # The operator table names the SIM by its operator identifier, before the fallback name.
    os.remove(os.path.join(w.work, 'profile', 'strings.ini'))
    with open(os.path.join(w.work, 'operators.ini'), 'w') as f:
        f.write(f'[operators]\n{IMSI_A[:5]}=CMCC\n')
    w.start_watch('--operators', 'operators.ini')
    w.expect(r'^progress +\+[0-9.]+s logged in$')
    w.stop_watch()
    if any(line.startswith('held') and 'SPN' in line for line in w.watch.text()):
        raise Failed('held for a SPN with the operator named in the table')
    # The profile carries the table as well.
    os.rename(os.path.join(w.work, 'operators.ini'),
              os.path.join(w.work, 'profile', 'operators.ini'))
    w.start_watch()
    w.expect(r'^progress +\+[0-9.]+s logged in$')
    w.stop_watch()


def late_sim(w):
    '''A SIM object that cannot be read when the modem first names it (not there yet): watch
    reads it again on the modem's next change and the SIM logs in.'''
    w.start_network_service()
    w.start_modem_service()
    w.start_watch()
    w.expect(r'^modem +none \(device error 10301\); waiting for one$')
    path = w.mm.AddModemLateSim(MODEM_ID, IMSI_A, 'CMCC', MODEM_REGISTERED)
    w.expect(r'^sim +not ready, the modem service could not give the SIM object; asked again at '
             r'the modem.s next change \(device error 14\)$')
    w.mm.ExportSim(path)
    w.mm.SetModemState(path, MODEM_REGISTERED)  # the same state: a change signal all the same
    w.expect(rf'^sim +imsi={IMSI_A} spn=CMCC$')
    w.expect(r'^progress +\+[0-9.]+s logged in$')
    w.stop_watch()


NOTICE_SERVICE_MISSING = r'^notify +no notification service on the session bus'


def lock_then_unlock(w, *watch_args):
    '''A SIM that waits for its PIN (its lock said twice), then unlocked: signed in.'''
    w.start_watch(*watch_args)
    w.expect(r'^modem +none \(device error 10301\); waiting for one$')
    path = w.mm.AddModem(MODEM_ID, IMSI_A, 'CMCC', MODEM_REGISTERED)
    w.mm.SetModemLock(path, MODEM_LOCK_SIM_PIN)
    w.expect(r'^sim +SIM PIN required: ')
    return path


def unlock(w, path):
    w.mm.SetModemLock(path, MODEM_LOCK_NONE)
    w.mm.SetModemState(path, MODEM_REGISTERED)
    w.expect(r'^progress +\+[0-9.]+s logged in$')


def notify_locked(w):
    '''A PIN-locked SIM is told once, however often the modem repeats it; unlocked, it signs in
    and that is told once, replacing the first notice. The bus properties follow each step and
    `status` prints them; the IMSI is published nowhere.'''
    w.start_network_service()
    w.start_modem_service()
    w.start_notifications()
    w.start_watch()
    w.monitor_state()
    w.expect(r'^modem +none \(device error 10301\); waiting for one$')
    w.expect_status(1, state='no-modem', logged_in=False, modem='', attempts=0)
    path = w.mm.AddModem(MODEM_ID, IMSI_A, 'CMCC', MODEM_REGISTERED)
    w.mm.SetModemLock(path, MODEM_LOCK_SIM_PIN)
    w.expect(r'^sim +SIM PIN required: ')
    w.expect_notice()
    w.expect_state('locked')
    w.expect_status(1, state='locked', logged_in=False, modem=MODEM_ID)
    w.mm.SetModemLock(path, MODEM_LOCK_SIM_PIN)  # the modem says it again
    w.mm.SetModemState(path, 2)
    unlock(w, path)
    w.expect_notice()
    w.expect_state('signed-in')
    record = w.expect_status(0, state='signed-in', logged_in=True, error_code=0, modem=MODEM_ID,
                             attempts=1)
    if not record['last_attempt'] > 1700000000:
        raise Failed(f'no time of the attempt: {record}')
    status, text = w.status()
    if status != 0 or not re.search(r'^state +signed-in$', text, re.M) or \
            not re.search(r'^logged in +yes$', text, re.M):
        raise Failed(f'status for a person: {status} {text}')
    w.stop_watch()
    notices = w.notices()
    print('notices:', json.dumps(notices, ensure_ascii=False))
    if len(notices) != 2:
        raise Failed(f'{len(notices)} notices, not 2: {notices}')
    (app, replaces, icon, summary, body), second = notices
    if (app, replaces, icon, summary) != ('loginhost', 0, 'network-cellular-offline',
                                          'SIM PIN required') or 'mmcli -i' not in body:
        raise Failed(f'the PIN notice: {notices[0]}')
    if second[:4] != ('loginhost', 1, 'network-cellular-connected', 'Signed in') or \
            IMSI_A[-4:] not in second[4]:
        raise Failed(f'the sign-in notice, replacing the first: {second}')
    published = ' '.join(w.state_lines.text()) + json.dumps(record)
    if IMSI_A in published or any(IMSI_A in ' '.join(map(str, n)) for n in notices):
        raise Failed('the IMSI was published')
    if w.status()[0] != 3:
        raise Failed('status without a watch did not end with 3')


def notify_refused(w):
    '''The server refuses the login (wrong password, after registering anew): one notice with
    the state's meaning; the properties say refused with the code.'''
    w.start_network_service()
    w.start_modem_service([(MODEM_ID, IMSI_A)])
    w.start_notifications()
    w.start_watch()
    w.expect(r'^progress +\+[0-9.]+s state 3 \(server: wrong password\)$')
    w.expect_notice()
    w.expect_status(1, state='refused', error_code=3, logged_in=False, attempts=1)
    w.stop_watch()
    notices = w.notices()
    if len(notices) != 1 or notices[0][3] != 'The server refused the login' or \
            'state 3 (server: wrong password)' not in notices[0][4]:
        raise Failed(f'not one refusal notice with its meaning: {notices}')


def no_notify(w):
    '''Without a notification service, watch says so once and signs in all the same; with
    --no-notify it sends no notice to a service that is there.'''
    w.start_network_service()
    w.start_modem_service()
    path = lock_then_unlock(w)
    w.expect(NOTICE_SERVICE_MISSING)
    unlock(w, path)
    w.stop_watch()
    if sum(1 for line in w.watch.text() if re.match(NOTICE_SERVICE_MISSING, line)) != 1:
        raise Failed('the missing notification service was not said once')
    w.stop_modem_service()
    w.start_modem_service()
    w.start_notifications()
    path = lock_then_unlock(w, '--no-notify')
    unlock(w, path)
    w.expect_status(0, state='signed-in')
    w.stop_watch()
    if w.notices():
        raise Failed(f'notices with --no-notify: {w.notices()}')


def cpu_seconds(pid):
    with open(f'/proc/{pid}/stat') as f:
        fields = f.read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf('SC_CLK_TCK')  # utime + stime


def measure(w):
    '''Not a test (ctest does not run it): the figures of watch. The time from a modem appearing
    on the bus to the server's first request, with the plug-in's worker started by that modem
    and then with it running; the CPU time watch takes while idle, logged in, over
    WATCH_IDLE_SECONDS (default 120).'''
    w.start_network_service()
    w.start_modem_service()
    w.start_watch()
    w.expect(r'^modem +none')
    seen = 0

    def appear(imsi):
        nonlocal seen
        added = time.monotonic()
        path = w.mm.AddModem(MODEM_ID, imsi, 'CMCC', MODEM_REGISTERED)
        stamp, _ = w.server_lines.expect(lambda l: l.startswith('account-server: POST'),
                                         'a request')
        w.expect(r'^progress +\+[0-9.]+s logged in$')
        seen = len(w.server_lines.text())
        w.server_lines.cursor = seen
        return path, stamp - added

    path, first = appear(IMSI_A)
    print(f'figure: modem on the bus to the first request, worker started by it: {first:.3f} s')
    idle = float(os.environ.get('WATCH_IDLE_SECONDS', '120'))
    before, start = cpu_seconds(w.watch_proc.pid), time.monotonic()
    time.sleep(idle)
    used, spent = cpu_seconds(w.watch_proc.pid) - before, time.monotonic() - start
    print(f'figure: idle CPU {used:.2f} s in {spent:.0f} s: {used * 3600 / spent:.1f} s per hour')
    times = []
    for n in range(5):
        w.mm.RemoveModem(path)
        w.expect(r'^progress +\+[0-9.]+s not logged in$')
        path, latency = appear('46000555000000' + str(n))
        times.append(latency)
    print('figure: modem on the bus to the first request, worker running: ' +
          ', '.join(f'{t:.3f}' for t in times) + ' s')
    w.stop_watch()


SCENARIOS = {
    'appear-and-return': appear_and_return,
    'network-holds': network_holds,
    'device-connecting': device_connecting,
    'sim-swap': sim_swap,
    'service-restart': service_restart,
    'locked': locked,
    'no-spn': no_spn,
    'late-sim': late_sim,
    'notify-locked': notify_locked,
    'notify-refused': notify_refused,
    'no-notify': no_notify,
    'measure': measure,
}


def main():
    scenario, loginhost, plugin, server, work = sys.argv[1:6]
    if not shutil.which('dbus-daemon') or not shutil.which('gdbus'):
        print('SKIPPED: dbus-daemon or gdbus is missing')
        return SKIP
    server_args = ['--login-code', '3'] if scenario == 'notify-refused' else []
    world = World(loginhost, plugin, server, work, server_args)
    try:
        SCENARIOS[scenario](world)
    except Failed as e:
        print(f'FAILED: {scenario}: {e}', file=sys.stderr)
        if world.watch:
            print('--- watch printed:\n' + '\n'.join(world.watch.text()), file=sys.stderr)
        print('--- the server logged:\n' + '\n'.join(world.server_lines.text()), file=sys.stderr)
        return 1
    finally:
        world.close()
    print('--- watch printed:\n' + '\n'.join(world.watch.text()))
    return 0


if __name__ == '__main__':
    sys.exit(main())
