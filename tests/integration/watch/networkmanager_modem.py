'''Added to python-dbusmock's NetworkManager template (AddTemplate): the device the network
service makes for a modem the modem service has, named by that modem's object (Udi).

Mock methods (interface org.freedesktop.DBus.Mock):
  AddModemDevice(name, modem path, state) -> device path
  SetModemDeviceState(device path, state): with StateChanged, as the real service sends
'''

import dbus

from dbusmock import MOCK_IFACE
import dbusmock

MANAGER_OBJ = '/org/freedesktop/NetworkManager'
MANAGER_IFACE = 'org.freedesktop.NetworkManager'
DEVICE_IFACE = 'org.freedesktop.NetworkManager.Device'
MODEM_IFACE = 'org.freedesktop.NetworkManager.Device.Modem'
DEVICE_TYPE_MODEM = 8
CAPABILITY_GSM_UMTS = 4


def load(_mock, _parameters):
    pass


@dbus.service.method(MOCK_IFACE, in_signature='ssu', out_signature='o')
def AddModemDevice(self, name, modem_path, state):
    path = dbus.ObjectPath('/org/freedesktop/NetworkManager/Devices/' + name)
    self.AddObject(path, MODEM_IFACE, {
        'ModemCapabilities': dbus.UInt32(CAPABILITY_GSM_UMTS),
        'CurrentCapabilities': dbus.UInt32(CAPABILITY_GSM_UMTS),
    }, [])
    dbusmock.get_object(path).AddProperties(DEVICE_IFACE, {
        'DeviceType': dbus.UInt32(DEVICE_TYPE_MODEM),
        'Udi': dbus.String(modem_path),
        'State': dbus.UInt32(state),
        'StateReason': (dbus.UInt32(state), dbus.UInt32(0)),
        'Interface': dbus.String('ttyUSB2'),
        'IpInterface': dbus.String(''),
        'ActiveConnection': dbus.ObjectPath('/'),
        'AvailableConnections': dbus.Array([], signature='o'),
        'Managed': True,
        'Driver': dbus.String('option'),
    })
    self.object_manager_emit_added(path)
    manager = dbusmock.get_object(MANAGER_OBJ)
    devices = manager.Get(MANAGER_IFACE, 'Devices')
    devices.append(path)
    manager.Set(MANAGER_IFACE, 'Devices', devices)
    manager.EmitSignal(MANAGER_IFACE, 'DeviceAdded', 'o', [path])
    return path


@dbus.service.method(MOCK_IFACE, in_signature='ou', out_signature='')
def SetModemDeviceState(_self, path, state):
    device = dbusmock.get_object(path)
    old = device.Get(DEVICE_IFACE, 'State')
    device.Set(DEVICE_IFACE, 'State', dbus.UInt32(state))
    device.Set(DEVICE_IFACE, 'StateReason', (dbus.UInt32(state), dbus.UInt32(0)))
    device.EmitSignal(DEVICE_IFACE, 'StateChanged', 'uuu',
                      [dbus.UInt32(state), old, dbus.UInt32(0)])
