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


def _add_sim(mock, imsi, spn):
    if not imsi:
        return NO_SIM
    _counter['sim'] += 1
    path = dbus.ObjectPath('%s/SIM/%d' % (MAIN_OBJ, _counter['sim']))
    mock.AddObject(path, SIM_IFACE, {
        'Active': dbus.Boolean(True),
        'SimIdentifier': dbus.String('8986' + imsi),
        'Imsi': dbus.String(imsi),
        'OperatorIdentifier': dbus.String(imsi[:5]),
        'OperatorName': dbus.String(spn),
    }, [])
    return path


def _add_modem(mock, equipment_id, imsi, spn, state):
    sim = _add_sim(mock, imsi, spn)
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
