'''A python-dbusmock template of the modem service on the system bus, as much as
`loginhost watch` uses: the object manager at /org/freedesktop/ModemManager1, Modem objects
(EquipmentIdentifier, State, Sim) and Sim objects (Imsi, OperatorName), with the added, removed
and property-changed signals a real service sends.

Parameters (JSON): {"modems": [{"id": "...", "imsi": "...", "spn": "...", "state": 8}]}: modems
present from the start (a restarted service finds its modems again).

Mock methods (interface org.freedesktop.DBus.Mock):
  AddModem(id, imsi, spn, state) -> modem path; an empty imsi is a modem without a SIM
  RemoveModem(modem path)
  SetModemState(modem path, state)
  SwapSim(modem path, imsi, spn): a new Sim object takes the old one's place
  ReplugModem(modem path, imsi, spn) -> new modem path: the modem object goes and a new one
    with the same equipment identifier and a new Sim object comes, as the real service does
    when a SIM is swapped in a modem that cannot tell it while running
  SetModemLock(modem path, lock): UnlockRequired (1 none, 2 SIM PIN, 4 SIM PUK); a lock puts
    the modem in state 2 (locked), as the real service does
  AddModemLateSim(id, imsi, spn, state) -> modem path: the modem's Sim names an object that is
    not there yet (a client that reads it then gets nothing); ExportSim(modem path) brings it,
    without a signal, as an object that was unreachable for a moment
'''

import dbus

from dbusmock import MOCK_IFACE, OBJECT_MANAGER_IFACE
import dbusmock

BUS_NAME = 'org.freedesktop.ModemManager1'
MAIN_OBJ = '/org/freedesktop/ModemManager1'
MAIN_IFACE = 'org.freedesktop.ModemManager1'
MODEM_IFACE = 'org.freedesktop.ModemManager1.Modem'
SIM_IFACE = 'org.freedesktop.ModemManager1.Sim'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

NO_SIM = dbus.ObjectPath('/')
# Object numbers go on counting across modems and SIMs, as the real service's do.
_counter = {'modem': 0, 'sim': 0}


def load(mock, parameters):
    # The real service manages its modems only; SIM objects live beside them.
    mock.AddMethod(OBJECT_MANAGER_IFACE, 'GetManagedObjects', '', 'a{oa{sa{sv}}}',
                   'ret = {dbus.ObjectPath(k): objects[k].props for k in objects.keys()'
                   ' if k.startswith("%s/Modem/")}' % MAIN_OBJ)
    mock.AddProperties(MAIN_IFACE, {'Version': dbus.String('1.20.4')})
    mock.AddMethods(MAIN_IFACE, [('ScanDevices', '', '', ''),
                                 ('SetLogging', 's', '', '')])
    for modem in (parameters or {}).get('modems', []):
        _add_modem(mock, modem['id'], modem.get('imsi', ''), modem.get('spn', ''),
                   modem.get('state', 8))


# SIM objects named by a modem but not there yet, by modem path: (SIM path, imsi, spn).
_late_sims = {}


def _next_sim_path():
    _counter['sim'] += 1
    return dbus.ObjectPath('%s/SIM/%d' % (MAIN_OBJ, _counter['sim']))


def _add_sim(mock, imsi, spn, path=None):
    if not imsi:
        return NO_SIM
    path = path or _next_sim_path()
    mock.AddObject(path, SIM_IFACE, {
        'Active': dbus.Boolean(True),
        'SimIdentifier': dbus.String('8986' + imsi),
        'Imsi': dbus.String(imsi),
        'OperatorIdentifier': dbus.String(imsi[:5]),
        'OperatorName': dbus.String(spn),
    }, [])
    return path


def _add_modem(mock, equipment_id, imsi, spn, state, sim=None):
    sim = sim or _add_sim(mock, imsi, spn)
    _counter['modem'] += 1
    path = dbus.ObjectPath('%s/Modem/%d' % (MAIN_OBJ, _counter['modem']))
    mock.AddObject(path, MODEM_IFACE, {
        'Sim': sim,
        'State': dbus.Int32(state),
        'UnlockRequired': dbus.UInt32(1),
        'EquipmentIdentifier': dbus.String(equipment_id),
        'Manufacturer': dbus.String('Mock'),
        'Model': dbus.String('Data card'),
        'PrimaryPort': dbus.String('ttyUSB%d' % _counter['modem']),
    }, [])
    mock.object_manager_emit_added(path)
    return path


@dbus.service.method(MOCK_IFACE, in_signature='sssi', out_signature='o')
def AddModem(self, equipment_id, imsi, spn, state):
    return _add_modem(self, equipment_id, imsi, spn, state)


@dbus.service.method(MOCK_IFACE, in_signature='sssi', out_signature='o')
def AddModemLateSim(self, equipment_id, imsi, spn, state):
    sim = _next_sim_path()
    path = _add_modem(self, equipment_id, imsi, spn, state, sim)
    _late_sims[path] = (sim, imsi, spn)
    return path


@dbus.service.method(MOCK_IFACE, in_signature='o', out_signature='')
def ExportSim(self, path):
    sim, imsi, spn = _late_sims.pop(path)
    _add_sim(self, imsi, spn, sim)


@dbus.service.method(MOCK_IFACE, in_signature='o', out_signature='')
def RemoveModem(self, path):
    sim = dbusmock.get_object(path).Get(MODEM_IFACE, 'Sim')
    self.object_manager_emit_removed(path)
    self.RemoveObject(path)
    if sim != NO_SIM:
        self.RemoveObject(sim)


@dbus.service.method(MOCK_IFACE, in_signature='oi', out_signature='')
def SetModemState(_self, path, state):
    dbusmock.get_object(path).Set(MODEM_IFACE, 'State', dbus.Int32(state))


@dbus.service.method(MOCK_IFACE, in_signature='oss', out_signature='')
def SwapSim(self, path, imsi, spn):
    modem = dbusmock.get_object(path)
    old = modem.Get(MODEM_IFACE, 'Sim')
    modem.Set(MODEM_IFACE, 'Sim', _add_sim(self, imsi, spn))
    if old != NO_SIM:
        self.RemoveObject(old)


@dbus.service.method(MOCK_IFACE, in_signature='ou', out_signature='')
def SetModemLock(_self, path, lock):
    modem = dbusmock.get_object(path)
    modem.Set(MODEM_IFACE, 'UnlockRequired', dbus.UInt32(lock))
    if lock > 1:
        modem.Set(MODEM_IFACE, 'State', dbus.Int32(2))


@dbus.service.method(MOCK_IFACE, in_signature='oss', out_signature='o')
def ReplugModem(self, path, imsi, spn):
    modem = dbusmock.get_object(path)
    equipment_id = modem.Get(MODEM_IFACE, 'EquipmentIdentifier')
    state = modem.Get(MODEM_IFACE, 'State')
    RemoveModem(self, path)
    return _add_modem(self, equipment_id, imsi, spn, state)
