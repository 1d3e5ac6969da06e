#!/usr/bin/python3
"""Runs a command where a notification area exists: a virtual X display, a private session bus
and a stand-in StatusNotifierWatcher on it, which records the calls it gets (GetCalls on
org.freedesktop.DBus.Mock). Exits with the command's status.

Usage: tray_host.py COMMAND [ARG...]
"""

import os
import signal
import subprocess
import sys

import dbus
import dbusmock

WATCHER = "org.kde.StatusNotifierWatcher"


def start_display():
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                               "-nolisten", "tcp"], pass_fds=[write_end],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as displays:
        os.environ["DISPLAY"] = ":" + displays.readline().strip()
    return server


def start_watcher():
    watcher = dbusmock.DBusTestCase.spawn_server(WATCHER, "/StatusNotifierWatcher", WATCHER,
                                                 stdout=subprocess.DEVNULL)
    mock = dbus.Interface(dbusmock.DBusTestCase.get_dbus().get_object(
        WATCHER, "/StatusNotifierWatcher"), dbusmock.MOCK_IFACE)
    mock.AddMethods(WATCHER, [("RegisterStatusNotifierItem", "s", "", ""),
                              ("RegisterStatusNotifierHost", "s", "", "")])
    mock.AddProperties(WATCHER, {"IsStatusNotifierHostRegistered": True,
                                 "ProtocolVersion": dbus.Int32(0),
                                 "RegisteredStatusNotifierItems": dbus.Array([], signature="s")})
    return watcher


def main():
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # a test's time-out still cleans up
    dbusmock.DBusTestCase.start_session_bus()
    display = watcher = None
    try:
        display = start_display()
        watcher = start_watcher()
        status = subprocess.call(sys.argv[1:], env=dict(os.environ, QT_QPA_PLATFORM="xcb"))
    finally:
        for process in (watcher, display):
            if process:
                process.terminate()
                process.wait()
        dbusmock.DBusTestCase.stop_dbus(dbusmock.DBusTestCase.session_bus_pid)
    return status


if __name__ == "__main__":
    sys.exit(main())
