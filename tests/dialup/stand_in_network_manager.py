#!/usr/bin/python3
"""A stand-in NetworkManager on a private bus of its own: stand_in_network_manager.py SCENARIO LOG.
Prints "ADDRESS <bus address>" once it serves, logs "activate ID", "deactivate ID" and "list" (a
read of ActiveConnections, where a listing starts), ends with its bus on SIGTERM. SCENARIO (JSON): "permission"; "silent" (ListConnections never answers);
"saved": [{id, type, bluetooth?, dial: up, fail, never, vanish or nodevice, address?, odd?,
after? (ms to the end of a dial, 300), reason? ([active, device] of a failure, [1, 0]),
linger? (ms a failed activation stays, deactivated, 0)}];
"active": [{id, type, state?, bluetooth?, address?, address6? (a list), iface?, odd?: type, state
or address}];
"changes": [{after (ms), id, address, type?}]: the active connection `id` gets that address, or
one is activated with it, announced by PropertiesChanged as NetworkManager does.
An activation's end is announced by StateChanged signals, a failed device's first."""
import ctypes
import json
import os
import signal
import subprocess
import sys
import tempfile

import dbus
import dbus.lowlevel
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NM = 'org.freedesktop.NetworkManager'
ROOT = '/org/freedesktop/NetworkManager'
BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><listen>unix:path={}</listen><auth>EXTERNAL</auth>
  <policy context="default"><allow user="*"/><allow own="*"/>
    <allow send_destination="*"/><allow receive_sender="*"/></policy></busconfig>"""


def error(name, text):
    return dbus.exceptions.DBusException(text, name=name)


def paths(items):
    return dbus.Array([dbus.ObjectPath(p) for p in items], signature='o')


class NetworkManager(dbus.service.FallbackObject):
    """ROOT and every object below it: `objects` maps a path to its interface and properties."""

    def __init__(self, bus, scenario, log, quit):
        super().__init__(bus, ROOT)
        self.bus, self.log, self.quit, self.count = bus, log, quit, 0
        self.objects, self.settings, self.active = {}, {}, []
        self.permission = scenario.get('permission', 'yes')
        self.silent = scenario.get('silent', False)
        self.objects[ROOT] = (NM, {'ActiveConnections': paths([])})
        for entry in scenario.get('saved', []):
            self.save(entry)
        for entry in scenario.get('active', []):
            self.activate(self.save(entry), entry)
        for change in scenario.get('changes', []):
            GLib.timeout_add(change['after'], self.change, change)

    def change(self, entry):
        path = next((p for p in self.active if self.objects[p][1]['Id'] == entry['id']), None)
        if path is None:
            self.activate(self.save(entry), entry)
            self.changed(ROOT, NM, 'ActiveConnections')
        else:
            self.configure(path, entry['address'])
            config = self.objects[path][1]['Ip4Config']
            self.changed(config, NM + '.IP4Config', 'AddressData')
            self.changed(path, NM + '.Connection.Active', 'Ip4Config')
        return False

    def changed(self, path, interface, name):
        signal = dbus.lowlevel.SignalMessage(path, dbus.PROPERTIES_IFACE, 'PropertiesChanged')
        value = {name: self.objects[path][1][name]}
        signal.append(interface, dbus.Dictionary(value, signature='sv'),
                      dbus.Array([], signature='s'))
        self.bus.send_message(signal)

    def save(self, entry):
        path = f'{ROOT}/Settings/{len(self.settings) + 1}'
        settings = {'connection': {'id': entry['id'], 'type': entry['type']}}
        if 'bluetooth' in entry:
            settings['bluetooth'] = {'type': entry['bluetooth']}
        if entry.get('odd') is True:
            settings = {'connection': {'id': dbus.UInt32(7)}}
        self.settings[path] = (entry, settings)
        return path

    def activate(self, saved, entry):
        self.count += 1
        n, odd = self.count, entry.get('odd')
        path, device = f'{ROOT}/ActiveConnection/{n}', f'{ROOT}/Devices/{n}'
        self.objects[device] = (NM + '.Device', {'IpInterface': entry.get('iface', f'wwan{n}')})
        self.objects[path] = (NM + '.Connection.Active', {
            'Id': entry['id'], 'Connection': dbus.ObjectPath(saved), 'Devices': paths([device]),
            'Type': dbus.Int32(5) if odd == 'type' else entry['type'],
            'State': '2' if odd == 'state' else dbus.UInt32(entry.get('state', 2)),
            'Ip4Config': dbus.ObjectPath('/'), 'Ip6Config': dbus.ObjectPath('/')})
        if 'address' in entry:
            self.configure(path, entry['address'], odd)
        if 'address6' in entry:
            config = path.replace('ActiveConnection', 'IP6Config')
            data = [{'address': a, 'prefix': dbus.UInt32(64)} for a in entry['address6']]
            self.objects[config] = (NM + '.IP6Config', {
                'AddressData': dbus.Array(data, signature='a{sv}')})
            self.objects[path][1]['Ip6Config'] = dbus.ObjectPath(config)
        self.active.append(path)
        self.objects[ROOT][1]['ActiveConnections'] = paths(self.active)
        return path

    def configure(self, path, address, odd=None):
        config = path.replace('ActiveConnection', 'IP4Config')
        data = {'address': dbus.UInt32(1) if odd == 'address' else address}
        self.objects[config] = (NM + '.IP4Config', {
            'AddressData': dbus.Array([data], signature='a{sv}'), 'Gateway': '10.64.64.64'})
        self.objects[path][1]['Ip4Config'] = dbus.ObjectPath(config)

    def remove(self, path):
        self.active.remove(path)
        self.objects.pop(path)
        self.objects[ROOT][1]['ActiveConnections'] = paths(self.active)
        return False

    def write_log(self, line):
        with open(self.log, 'a') as log:
            log.write(line + '\n')

    def props(self, path, interface):
        if path not in self.objects or self.objects[path][0] != interface:
            raise error('org.freedesktop.DBus.Error.UnknownObject', path)
        return self.objects[path][1]

    @dbus.service.method(dbus.PROPERTIES_IFACE, 'ss', 'v', path_keyword='path')
    def Get(self, interface, name, path):
        if name == 'ActiveConnections':
            self.write_log('list')
        return self.props(path, interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, 's', 'a{sv}', path_keyword='path')
    def GetAll(self, interface, path):
        return dbus.Dictionary(self.props(path, interface), signature='sv')

    @dbus.service.method(NM + '.Settings', '', 'ao', async_callbacks=('reply', '_error'))
    def ListConnections(self, reply, _error):
        if not self.silent:
            reply(paths(self.settings))

    @dbus.service.method(NM + '.Settings.Connection', '', 'a{sa{sv}}', path_keyword='path')
    def GetSettings(self, path):
        return self.settings[path][1]

    @dbus.service.method(NM, '', 'a{ss}')
    def GetPermissions(self):
        return {NM + '.network-control': self.permission}

    @dbus.service.method(NM, 'ooo', 'o')
    def ActivateConnection(self, saved, device, specific):
        entry = self.settings[saved][0]
        self.write_log('activate ' + entry['id'])
        dial = entry.get('dial', 'up')
        if dial == 'nodevice':
            raise error(NM + '.Manager.UnknownDevice', 'No suitable device found')
        path = self.activate(saved, {'id': entry['id'], 'type': entry['type'], 'state': 1})
        if dial == 'vanish':
            GLib.idle_add(self.quit)
        elif dial in ('up', 'fail'):
            GLib.timeout_add(entry.get('after', 300), self.finish, path, entry)
        return path

    def finish(self, path, entry):
        if entry.get('dial') == 'fail':
            active, device = entry.get('reason', [1, 0])
            if device:
                devices = self.objects[path][1]['Devices']
                self.announce(devices[0], '.Device', 120, 40, device)
            self.objects[path][1]['State'] = dbus.UInt32(4)
            self.announce(path, '.Connection.Active', 4, active)
            GLib.timeout_add(entry.get('linger', 0), self.remove, path)
        else:
            self.configure(path, entry.get('address'))
            self.objects[path][1]['State'] = dbus.UInt32(2)
            self.announce(path, '.Connection.Active', 2, 1)
        return False

    def announce(self, path, interface, *numbers):
        signal = dbus.lowlevel.SignalMessage(path, NM + interface, 'StateChanged')
        signal.append(*[dbus.UInt32(n) for n in numbers])
        self.bus.send_message(signal)

    @dbus.service.method(NM, 'o', '')
    def DeactivateConnection(self, path):
        if path not in self.active:
            raise error(NM + '.Manager.ConnectionNotActive', path)
        self.write_log('deactivate ' + self.objects[path][1]['Id'])
        self.remove(path)


def main():
    with open(sys.argv[1]) as file:
        scenario = json.load(file)
    with tempfile.TemporaryDirectory(prefix='orvane-bus-') as folder:
        os.chmod(folder, 0o755)  # other users reach the bus too
        socket, config = os.path.join(folder, 'bus'), os.path.join(folder, 'bus.conf')
        with open(config, 'w') as file:
            file.write(BUS_CONFIG.format(socket))
        libc = ctypes.CDLL(None)  # the bus ends with this process however it ends
        daemon = subprocess.Popen(
            ['dbus-daemon', '--nofork', '--print-address', '--config-file', config],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            preexec_fn=lambda: libc.prctl(1, signal.SIGTERM))
        try:
            address = daemon.stdout.readline().decode().strip()  # once it accepts connections
            dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
            bus = dbus.bus.BusConnection(address)
            loop = GLib.MainLoop()
            manager = NetworkManager(bus, scenario, sys.argv[2], loop.quit)
            name = dbus.service.BusName(NM, bus)
            print('ADDRESS', address, flush=True)
            GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
            loop.run()
            del name
        finally:
            daemon.terminate()
            daemon.wait()


if __name__ == '__main__':
    main()
