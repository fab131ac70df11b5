#!/usr/bin/python3
'''The proxy settings dialog on a Linux desktop, driven as a person would: `loginhost settings`
opens it against a profile, and the test finds its controls through the accessibility tree
(AT-SPI), picks the proxy types, types with the keyboard (masks, mnemonics, Tab, Enter, Escape),
presses the buttons, and then reads what reached the profile's user.ini. Runs on a display of
its own (Xvfb) with a private session bus, both started around it (see CMakeLists.txt).

Every wait is for something to appear in the tree or for the host to end; the only time limit
is a guard against a hang.

usage: settings_dialog_test.py LOGINHOST WORKDIR TWO_OPENINGS [SCENARIO...]
'''

import os
import shutil
import subprocess
import sys
import time

try:
    import pyatspi
except ImportError:
    print('pyatspi is missing (python3-pyatspi)')
    sys.exit(77)

GUARD = 90  # seconds before a wait counts as a hang (a cold, loaded machine starts GTK slowly)
BODY = (236, 242, 250)  # the default skin's body colour
# The host's strings (a profile's strings.ini, UTF-8); Windows-style mnemonics.
STRINGS = {
    2000: '提示', 2001: '确定(&O)', 2002: '取消(&C)', 2022: '代理服务器', 2023: '类型(&T):',
    2024: '地址(&A):', 2025: '端口(&P):', 2026: '用户(&U):', 2027: '密码(&W):', 5999: '关闭',
    7001: '请选择代理类型', 11000: '不使用代理', 11001: '使用自定义代理', 11002: '使用浏览器代理',
    11003: '登录设置',
}
KEY_RETURN, KEY_ESCAPE, KEY_TAB = 0xff0d, 0xff1b, 0xff09
ALT_MASK = 1 << 3


class Failed(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failed(what)


def wait_for(what, probe, seen=None):
    '''The first true answer of probe(), asked until the guard runs out; seen() tells what
    there was instead.'''
    deadline = time.monotonic() + GUARD
    while True:
        try:
            answer = probe()
        except Exception:  # the tree changes under the reader
            answer = None
        if answer:
            return answer
        if time.monotonic() > deadline:
            raise Failed('no ' + what + (': ' + str(seen()) if seen else ''))
        time.sleep(0.05)


def find(node, predicate):
    if node is None:
        return None
    if predicate(node):
        return node
    for child in node:
        found = find(child, predicate)
        if found is not None:
            return found
    return None


def role_named(role, name=None):
    return lambda n: n.getRole() == role and (name is None or n.name == name)


def sensitive(node):
    return node.getState().contains(pyatspi.STATE_SENSITIVE)


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


def keys(text):
    '''Typed through the display's keyboard: the keys arrive after any request made directly
    to the dialog, so the caller waits for their effect before the next step.'''
    pyatspi.Registry.generateKeyboardEvent(0, text, pyatspi.KEY_STRING)


def key(keysym):
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)


def alt(letter):
    pyatspi.Registry.generateKeyboardEvent(ALT_MASK, None, pyatspi.KEY_LOCKMODIFIERS)
    key(ord(letter))
    pyatspi.Registry.generateKeyboardEvent(ALT_MASK, None, pyatspi.KEY_UNLOCKMODIFIERS)


class Profile:
    def __init__(self, workdir, name, least=False):
        '''least: the README's least profile, without strings or a skin of its own.'''
        self.dir = os.path.join(workdir, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(os.path.join(self.dir, 'registry'))
        if least:
            self.write('system.ini', '[CURRENT_USER_PRIVATE_DIR]\nPATH=./\n')
            return
        self.write('system.ini', '[CURRENT_USER_PRIVATE_DIR]\nPATH=./\n'
                   '[SKIN]\nACTIVE=skin/default\n[VERSION]\nMAJOR=2.1\n')
        self.write('strings.ini', ''.join('%d=%s\n' % kv for kv in STRINGS.items()))

    def write(self, name, text):
        with open(os.path.join(self.dir, name), 'w', encoding='utf-8') as f:
            f.write(text)

    def proxy(self, **values):
        self.write('user.ini', '[PROXY]\n' + ''.join('%s=%s\n' % kv for kv in values.items()))

    def stored(self):
        values = {}
        with open(os.path.join(self.dir, 'user.ini'), encoding='utf-8') as f:
            for line in f:
                if '=' in line:
                    k, v = line.rstrip('\n').split('=', 1)
                    values[k] = v
        return values


class Dialog:
    '''`loginhost settings` with its dialog open, found in the accessibility tree.'''
    opened = []

    def __init__(self, loginhost, profile, env=None):
        Dialog.opened.append(self)
        self.host = subprocess.Popen([loginhost, 'settings', '--profile', profile.dir],
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     env=dict(os.environ, LOGINPLUGIN_REGISTRY=os.path.join(
                                         profile.dir, 'registry'), **(env or {})))
        self.frame = wait_for('dialog', self._frame)
        self.combo = find(self.frame, role_named(pyatspi.ROLE_COMBO_BOX))
        self.edits = [self._labelled(STRINGS[i]) for i in (2024, 2025, 2026, 2027)]
        check(self.edits[3].getRole() == pyatspi.ROLE_PASSWORD_TEXT, 'a masked password')

    def _frame(self):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == 'loginplugin-settings':
                frame = find(app, role_named(pyatspi.ROLE_FRAME, STRINGS[11003]))
                # Shown once its fields carry the stored choice.
                if frame is not None and frame.getState().contains(pyatspi.STATE_SHOWING):
                    return frame
        return None

    def _labelled(self, label):
        '''The field that a label names, as a screen reader finds it.'''
        label_name = label.replace('&', '')
        node = find(self.frame, role_named(pyatspi.ROLE_LABEL, label_name.replace('(', '(')))
        check(node is not None, 'label ' + label_name)
        for relation in node.getRelationSet():
            if relation.getRelationType() == pyatspi.RELATION_LABEL_FOR:
                return relation.getTarget(0)
        raise Failed('no field for ' + label_name)

    def press(self, name):
        node = find(self.frame, role_named(pyatspi.ROLE_PUSH_BUTTON, name))
        check(node is not None, 'button ' + name)
        node.queryAction().doAction(0)

    def shown(self):
        '''"address|port|user|password", a field that takes no input marked "-".'''
        return '|'.join(('' if sensitive(e) else '-') + text_of(e) for e in self.edits)

    def select(self, index, expect):
        self.combo.querySelection().selectChild(index)
        wait_for('fields for entry %d' % index, lambda: self.shown() == expect or None,
                 self.shown)

    def focus(self, edit):
        edit.queryComponent().grabFocus()
        wait_for('focus', lambda: edit.getState().contains(pyatspi.STATE_FOCUSED))

    def kill(self):
        if self.host.poll() is None:
            self.host.kill()
            self.host.communicate()

    def end(self):
        '''The host's lines once it has ended, and its exit status.'''
        out, _ = self.host.communicate(timeout=GUARD)
        return out.decode('utf-8', 'replace'), self.host.returncode


def dialog_line(out):
    return [' '.join(l.split()) for l in out.splitlines() if l.startswith('dialog')]


def pixels(path, box):
    '''The RGB pixels of a box (x, y, w, h) of a PNG, read through ImageMagick.'''
    x, y, w, h = box
    ppm = subprocess.run(['convert', path, '-crop', '%dx%d+%d+%d' % (w, h, x, y), '+repage',
                          '-depth', '8', 'ppm:-'], check=True, stdout=subprocess.PIPE).stdout
    # P6 header: magic, width, height, maximum, each ended by one blank.
    fields, pos = [], 0
    while len(fields) < 4:
        while ppm[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not ppm[pos:pos + 1].isspace():
            pos += 1
        fields.append(ppm[start:pos])
    data = ppm[pos + 1:]
    return [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]


def skinned(d, shot):
    '''The screen with the dialog on it, its body checked for the skin's colour.'''
    subprocess.run(['import', '-window', 'root', shot], check=True)
    x, y, w, h = (d.frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS))
    body = pixels(shot, (x, y, w, h))
    share = sum(1 for p in body if p == BODY) / len(body)
    check(share > 0.3, 'the skin body colour covers the dialog (%.2f)' % share)
    return shot


def host_texts(loginhost, workdir):
    '''A profile without strings.ini or a skin: the host's own texts and its default skin. Every
    label, entry and button is found by its text, as a person reads it.'''
    profile = Profile(workdir, 'least', least=True)
    d = Dialog(loginhost, profile)  # found by its title, its fields by their labels
    skinned(d, os.path.join(workdir, 'host-texts.png'))
    # The host's own texts are the ones above, but for the type label and the buttons, which
    # carry no mnemonic (no room on Windows; its bitmap buttons draw a text as it is).
    for name in (STRINGS[2022], '类型:'):
        check(find(d.frame, lambda n, name=name: n.name == name) is not None, 'text ' + name)
    for name in ('确定', '取消', STRINGS[5999]):
        check(find(d.frame, role_named(pyatspi.ROLE_PUSH_BUTTON, name)) is not None,
              'button ' + name)
    entries = [find(d.combo, lambda n, name=STRINGS[i]: n.name == name)
               for i in (11000, 11001, 11002)]
    check(all(e is not None for e in entries), 'the three proxy types by name')
    d.select(1, '|||')
    d.press('取消')
    out, _ = d.end()
    check(dialog_line(out) == ['dialog 2 (Cancel)'], 'Cancel: ' + out)


def typed_proxy(loginhost, workdir):
    '''No proxy stored; the user picks his own, types it with the keyboard and presses Enter.'''
    profile = Profile(workdir, 'typed')
    profile.proxy(TYPE='0', ADDRESS='old.host', PORT='1', USER='alice')
    d = Dialog(loginhost, profile)
    check(d.shown() == '-|-|-|-', 'no proxy: every field empty and off, got ' + d.shown())
    check(d.combo.name == STRINGS[11000], 'the stored type selected')

    # The skin's look, kept as an artifact: its body colour and drawn text.
    shot = skinned(d, os.path.join(workdir, 'settings-dialog.png'))
    label = d.frame and find(d.frame, role_named(pyatspi.ROLE_LABEL, '类型(T):'))
    lx, ly, lw, lh = label.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    ink = [p for p in pixels(shot, (lx, ly, lw, lh)) if sum(p) < 3 * 128]
    check(len(ink) > 20, 'the Chinese label is drawn (%d dark pixels)' % len(ink))
    title = find(d.frame, role_named(pyatspi.ROLE_LABEL, STRINGS[11003]))
    tx, ty, tw, th = title.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    white = [p for p in pixels(shot, (tx, ty, tw, th)) if min(p) > 230]
    check(len(white) > 20, 'the title is drawn in white on the skin (%d pixels)' % len(white))

    # Type 0 reads no address: the user's own proxy starts without one.
    d.select(1, '||alice|')
    d.focus(d.edits[0])
    keys('Proxy-1_a.b')  # the hyphen and the underscore are refused
    wait_for('masked address', lambda: d.shown() == 'Proxy1a.b||alice|' or None, d.shown)
    d.focus(d.edits[1])
    keys('8a0-8')
    wait_for('masked port', lambda: d.shown() == 'Proxy1a.b|808|alice|' or None, d.shown)
    alt('u')  # the user label's mnemonic
    wait_for('focus on the user', lambda: d.edits[2].getState().contains(pyatspi.STATE_FOCUSED))
    d.edits[2].queryEditableText().deleteText(0, 5)
    keys('dave')
    wait_for('the user typed', lambda: text_of(d.edits[2]) == 'dave', d.shown)
    key(KEY_TAB)  # to the password
    wait_for('focus on the password',
             lambda: d.edits[3].getState().contains(pyatspi.STATE_FOCUSED))
    keys('s3')
    wait_for('the password typed', lambda: d.edits[3].queryText().characterCount == 2)
    check(text_of(d.edits[3]) != 's3', 'the password is not shown')
    key(KEY_RETURN)
    out, status = d.end()
    check(status == 0 and dialog_line(out) == ['dialog 1 (OK)'], 'Enter is OK: ' + out)
    stored = profile.stored()
    check({k: stored.get(k) for k in ('TYPE', 'ADDRESS', 'PORT', 'USER')} ==
          {'TYPE': '1', 'ADDRESS': 'Proxy1a.b', 'PORT': '808', 'USER': 'dave'},
          'the typed proxy stored: %s' % stored)
    check(stored.get('PASSWORD') not in (None, '', 's3'), 'the password stored enciphered')

    # Opened again, the dialog shows what was stored, the password deciphered (masked).
    d = Dialog(loginhost, profile)
    check(d.combo.name == STRINGS[11001], 'the user proxy selected')
    check(d.shown().startswith('Proxy1a.b|808|dave|'), 'stored values shown: ' + d.shown())
    check(d.edits[3].queryText().characterCount == 2, 'the password deciphered')
    key(KEY_ESCAPE)
    out, status = d.end()
    check(dialog_line(out) == ['dialog 2 (Cancel)'], 'Escape is Cancel: ' + out)


TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'data',
                     'settings-dialog', 'faces.txt')
ADDRESS_MASK = set('0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ://.')
MASKS = {0: ADDRESS_MASK, 1: set('0123456789')}
# Which fields take input once the plug-in has answered a switch to each type.
SENSITIVE = {0: (False,) * 4, 1: (True,) * 4, 2: (False, False, True, True)}
FIELDS = ['address', 'port', 'user', 'password']
BROWSER_ENV = {'https_proxy': 'http://10.1.2.3:8080'}
BROWSER_SHOWN = '-10.1.2.3|-8080|'


def table_act(d, act):
    words = act.split(' ')
    if words[0] == 'select':
        index = int(words[1])
        d.combo.querySelection().selectChild(index)
        wait_for('the fields of entry %d' % index,
                 lambda: tuple(sensitive(e) for e in d.edits) == SENSITIVE[index], d.shown)
        if index == 2:  # the browser's proxy is shown, not taken
            wait_for('the browser proxy', lambda: d.shown().startswith(BROWSER_SHOWN), d.shown)
    elif words[0] == 'set':
        i = FIELDS.index(words[1])
        text = words[2] if len(words) > 2 else ''
        d.focus(d.edits[i])
        d.edits[i].queryEditableText().deleteText(0, d.edits[i].queryText().characterCount)
        keys(text)
        kept = ''.join(c for c in text if i not in MASKS or c in MASKS[i])
        wait_for('%s typed' % words[1],
                 lambda: d.edits[i].queryText().characterCount == len(kept) and
                 (i == 3 or text_of(d.edits[i]) == kept), d.shown)
    elif words[0] in ('ok', 'cancel', 'close'):
        d.press({'ok': '确定(O)', 'cancel': '取消(C)', 'close': STRINGS[5999]}[words[0]])
    elif words[0] == 'message-ok':
        box = wait_for('message box', lambda: find(pyatspi.Registry.getDesktop(0),
                                                   role_named(pyatspi.ROLE_ALERT, STRINGS[2000])))
        check(find(box, role_named(pyatspi.ROLE_LABEL, STRINGS[7001])) is not None,
              'the message text')
        check(d.host.poll() is None, 'the dialog waits for the message box')
        key(KEY_RETURN)
    else:
        raise Failed('unknown act ' + act)


def shared_table(loginhost, workdir):
    '''The table both faces are held to: the same acts end and store as on Windows (the
    message box of a missing type, the browser's proxy shown, Cancel and the close button).'''
    with open(TABLE, encoding='utf-8') as f:
        rows = [l.rstrip('\n') for l in f if l.strip() and not l.startswith('#')]
    check(len(rows) >= 5, 'the table ' + TABLE)
    for n, row in enumerate(rows):
        columns = [c.strip() for c in (row + ' ').split('|')]
        stored = [v.strip() for v in columns[0].split(',')]
        acts = [a.strip() for a in columns[1].split(';')]
        profile = Profile(workdir, 'table%d' % n)
        cipher = subprocess.run([loginhost, 'encrypt', stored[4]], check=True,
                                stdout=subprocess.PIPE).stdout.decode().strip()
        profile.proxy(TYPE=stored[0], ADDRESS=stored[1], PORT=stored[2], USER=stored[3],
                      PASSWORD=cipher)
        d = Dialog(loginhost, profile, env=BROWSER_ENV)
        for act in acts:
            table_act(d, act)
        out, _ = d.end()
        writes = []
        for line in out.splitlines():
            if line.startswith('set-user'):
                entry = line.split(None, 1)[1].split('/', 1)[1]
                if entry.startswith('PASSWORD='):
                    value = entry[len('PASSWORD='):]
                    enciphered = len(value) >= 32 and all(c in '0123456789abcdef' for c in value)
                    entry = 'PASSWORD=*' if enciphered else entry
                writes.append(entry)
        got = (dialog_line(out), ' '.join(writes))
        check(got == (['dialog %s %s' % (columns[2], '(OK)' if columns[2] == '1' else
                                          '(Cancel)')], columns[3]),
              'row "%s" gave %s' % (row, got))


def frame_of(app_name):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == app_name:
            frame = find(app, role_named(pyatspi.ROLE_FRAME, STRINGS[11003]))
            if frame is not None and frame.getState().contains(pyatspi.STATE_SHOWING):
                return frame
    return None


# A plain window of another program, presented on top.
OTHER_WINDOW = (
    "import gi; gi.require_version('Gtk', '3.0'); from gi.repository import Gtk; "
    "w = Gtk.Window(title='other'); w.set_default_size(600, 500); w.show_all(); w.present(); "
    "Gtk.main()")


def second_opening(two_openings):
    '''A second call while the dialog is open brings it to the front and ends at once with
    Cancel (2); the first opening goes on until the user ends it.'''
    host = subprocess.Popen([two_openings], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            cwd=os.path.dirname(two_openings))
    Dialog.opened.append(type('Opened', (), {'kill': lambda self: host.kill()})())
    check(host.stdout.readline().strip() == b'open', 'the first opening runs')
    frame = wait_for('dialog', lambda: frame_of('loginplugin-settings'))
    # Another program's window comes over the dialog and takes the keyboard.
    other = subprocess.Popen(['/usr/bin/python3', '-c', OTHER_WINDOW])
    Dialog.opened.append(type('Opened', (), {'kill': lambda self: other.kill()})())
    wait_for('the dialog put behind', lambda: not frame.getState().contains(pyatspi.STATE_ACTIVE))
    host.stdin.write(b'again\n')
    host.stdin.flush()
    check(host.stdout.readline().strip() == b'second 2', 'the second call ends with Cancel')
    # Still open, and brought to the front: the active window again.
    wait_for('the raised dialog', lambda: frame.getState().contains(pyatspi.STATE_ACTIVE))
    other.kill()
    find(frame, role_named(pyatspi.ROLE_PUSH_BUTTON, '取消')).queryAction().doAction(0)
    out, _ = host.communicate(timeout=GUARD)
    check(out.strip() == b'first 2', 'the first opening ends as its user ended it: %r' % out)


SCENARIOS = [host_texts, typed_proxy, shared_table, second_opening]


def main():
    loginhost, workdir, two_openings = sys.argv[1], sys.argv[2], sys.argv[3]
    os.makedirs(workdir, exist_ok=True)
    # The accessibility registry starts on first use: have it up before the first dialog
    # registers with it, so that the two do not start at once.
    wait_for('accessibility registry', lambda: pyatspi.Registry.getDesktop(0).childCount >= 0)
    chosen = [s for s in SCENARIOS if s.__name__ in sys.argv[4:]] or SCENARIOS
    failed = 0
    for scenario in chosen:
        try:
            if scenario is second_opening:
                scenario(two_openings)
            else:
                scenario(loginhost, workdir)
            print('PASS', scenario.__name__)
        except Exception as e:  # noqa: BLE001 -- one scenario's fault is reported, the rest run
            failed += 1
            print('FAIL', scenario.__name__, '-', e)
        for dialog in Dialog.opened:  # a failed scenario's dialog must not take the next keys
            dialog.kill()
        Dialog.opened.clear()
    print('%d passed, %d failed' % (len(chosen) - failed, failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
