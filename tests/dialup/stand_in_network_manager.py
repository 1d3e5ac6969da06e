#!/usr/bin/python3
"""A stand-in NetworkManager on a private bus of its own, serving the scenario given as JSON.

Usage: stand_in_network_manager.py SCENARIO_JSON LOG_FILE
Prints "ADDRESS <bus address>" once it owns its name; writes "activate NAME" and
"deactivate NAME" lines to LOG_FILE; ends, with its bus, on SIGTERM.

Scenario: {"permission": "yes"|"no"|"auth",
           "saved":  [{"id", "type", "bluetooth"?, "dial": "up"|"fail"|"never"|"vanish"|"nodevice",
                       "address"?, "odd"?: true}],
           "active": [{"id", "type", "state"?, "bluetooth"?, "address"?, "iface"?,
                       "odd"?: "type"|"state"|"address"|"ip4gone"}]}
"""
import ctypes
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NM = 'org.freedesktop.NetworkManager'
ROOT = '/org/freedesktop/NetworkManager'
PROPS = 'org.freedesktop.DBus.Properties'
BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
"""


def paths(items):
    return dbus.Array([dbus.ObjectPath(p) for p in items], signature='o')


class Properties(dbus.service.Object):
    def __init__(self, bus, path, interface, props):
        super().__init__(bus, path)
        self.path, self.interface, self.props = path, interface, props

    @dbus.service.method(PROPS, in_signature='ss', out_signature='v')
    def Get(self, interface, name):
        if interface != self.interface or name not in self.props:
            raise dbus.exceptions.DBusException(
                name, name='org.freedesktop.DBus.Error.UnknownProperty')
        return self.props[name]

    @dbus.service.method(PROPS, in_signature='s', out_signature='a{sv}')
    def GetAll(self, interface):
        return dbus.Dictionary(self.props if interface == self.interface else {}, signature='sv')


class Saved(Properties):
    def __init__(self, bus, path, entry):
        super().__init__(bus, path, NM + '.Settings.Connection', {})
        self.entry = entry
        if entry.get('odd'):
            self.settings = {'connection': {'id': dbus.UInt32(7)}}
        else:
            self.settings = {'connection': {'id': entry['id'], 'type': entry['type']}}
            if 'bluetooth' in entry:
                self.settings['bluetooth'] = {'type': entry['bluetooth']}

    @dbus.service.method(NM + '.Settings.Connection', out_signature='a{sa{sv}}')
    def GetSettings(self):
        return self.settings


class Settings(dbus.service.Object):
    def __init__(self, bus, saved):
        super().__init__(bus, ROOT + '/Settings')
        self.saved = saved

    @dbus.service.method(NM + '.Settings', out_signature='ao')
    def ListConnections(self):
        return paths(s.path for s in self.saved)


class Manager(Properties):
    def __init__(self, bus, scenario, log, quit):
        super().__init__(bus, ROOT, NM, {'ActiveConnections': paths([])})
        self.bus, self.log, self.quit, self.count = bus, log, quit, 0
        self.permission = scenario.get('permission', 'yes')
        self.saved = [Saved(bus, f'{ROOT}/Settings/{n}', e)
                      for n, e in enumerate(scenario.get('saved', []), 1)]
        self.settings = Settings(bus, self.saved)
        self.active = {}
        for entry in scenario.get('active', []):
            saved = Saved(bus, f'{ROOT}/Settings/{len(self.saved) + 1}', entry)
            self.saved.append(saved)
            self.add_active(saved, entry)

    def publish(self):
        self.props['ActiveConnections'] = paths(self.active)

    def add_active(self, saved, entry):
        self.count += 1
        n, odd = self.count, entry.get('odd')
        path = f'{ROOT}/ActiveConnection/{n}'
        props = {'Id': entry['id'], 'Type': entry['type'], 'Connection': dbus.ObjectPath(saved.path),
                 'State': dbus.UInt32(entry.get('state', 2)), 'Ip4Config': dbus.ObjectPath('/'),
                 'Devices': paths([])}
        if odd == 'type':
            props['Type'] = dbus.Int32(5)
        if odd == 'state':
            props['State'] = '2'
        active = Properties(self.bus, path, NM + '.Connection.Active', props)
        active.extras = [Properties(self.bus, f'{ROOT}/Devices/{n}', NM + '.Device',
                                    {'IpInterface': entry.get('iface', f'wwan{n}'), 'Interface': 'x'})]
        props['Devices'] = paths([f'{ROOT}/Devices/{n}'])
        if 'address' in entry:
            self.set_address(active, n, entry['address'], odd)
        self.active[path] = active
        self.publish()
        return active

    def set_address(self, active, n, address, odd=None):
        value = dbus.UInt32(1) if odd == 'address' else address
        config = Properties(self.bus, f'{ROOT}/IP4Config/{n}', NM + '.IP4Config', {
            'AddressData': dbus.Array([{'address': value, 'prefix': dbus.UInt32(32)}],
                                      signature='a{sv}'),
            'Gateway': '10.64.64.64'})
        active.extras.append(config)
        gone = f'{ROOT}/IP4Config/999'
        active.props['Ip4Config'] = dbus.ObjectPath(gone if odd == 'ip4gone' else config.path)

    def remove(self, path):
        active = self.active.pop(path)
        for obj in [active] + active.extras:
            obj.remove_from_connection()
        self.publish()

    def write_log(self, line):
        with open(self.log, 'a') as log:
            log.write(line + '\n')

    @dbus.service.method(NM, out_signature='a{ss}')
    def GetPermissions(self):
        return {NM + '.network-control': self.permission}

    @dbus.service.method(NM, in_signature='ooo', out_signature='o')
    def ActivateConnection(self, connection, device, specific):
        saved = next((s for s in self.saved if s.path == connection), None)
        if saved is None:
            raise dbus.exceptions.DBusException('no such connection',
                                                name=NM + '.Manager.UnknownConnection')
        entry = saved.entry
        self.write_log('activate ' + entry['id'])
        active = self.add_active(saved, {'id': entry['id'], 'type': entry['type'], 'state': 1})
        dial = entry.get('dial', 'up')
        if dial == 'nodevice':
            raise dbus.exceptions.DBusException('No suitable device found for this connection',
                                                name=NM + '.Manager.UnknownDevice')
        if dial == 'vanish':
            GLib.idle_add(self.quit)
        elif dial in ('up', 'fail'):
            GLib.timeout_add(300, self.finish, active, dial, entry.get('address'))
        return active.path

    def finish(self, active, dial, address):
        if dial == 'fail':
            self.remove(active.path)
        else:
            self.set_address(active, self.count + 100, address)
            active.props['State'] = dbus.UInt32(2)
        return False

    @dbus.service.method(NM, in_signature='o')
    def DeactivateConnection(self, path):
        if path not in self.active:
            raise dbus.exceptions.DBusException('not active',
                                                name=NM + '.Manager.ConnectionNotActive')
        self.write_log('deactivate ' + self.active[path].props['Id'])
        self.remove(path)


def start_bus(folder):
    """A dbus-daemon of its own that ends with this process."""
    socket = os.path.join(folder, 'bus')
    config = os.path.join(folder, 'bus.conf')
    with open(config, 'w') as file:
        file.write(BUS_CONFIG.format(socket=socket))
    libc = ctypes.CDLL(None)
    daemon = subprocess.Popen(['dbus-daemon', '--nofork', '--config-file', config],
                              stderr=subprocess.DEVNULL,
                              preexec_fn=lambda: libc.prctl(1, signal.SIGTERM))
    for _ in range(500):
        if os.path.exists(socket):
            return daemon, 'unix:path=' + socket
        time.sleep(0.01)
    daemon.kill()
    sys.exit('the bus did not start')


def main():
    with open(sys.argv[1]) as file:
        scenario = json.load(file)
    folder = tempfile.mkdtemp(prefix='orvane-bus-')
    os.chmod(folder, 0o755)  # other users reach the bus too
    daemon, address = start_bus(folder)
    try:
        dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
        bus = dbus.bus.BusConnection(address)
        loop = GLib.MainLoop()
        manager = Manager(bus, scenario, sys.argv[2], loop.quit)
        name = dbus.service.BusName(NM, bus)
        print('ADDRESS', address, flush=True)
        for signum in (signal.SIGTERM, signal.SIGINT):
            GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signum, loop.quit)
        loop.run()
        del manager, name
    finally:
        daemon.terminate()
        daemon.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == '__main__':
    main()
