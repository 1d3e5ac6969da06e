#!/usr/bin/python3
"""tray_host.py COMMAND [ARG...]: runs a command where a notification area exists: a virtual X
display, a private session bus and on it a stand-in StatusNotifierWatcher, which lists the item
that registered last. Exits with the command's status."""

import os
import shutil
import signal
import subprocess
import sys

import dbus
import dbusmock

WATCHER = "org.kde.StatusNotifierWatcher"


def main():
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # a test's time-out still cleans up
    test = dbusmock.DBusTestCase
    test.start_session_bus()
    read_end, write_end = os.pipe()
    display = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp"],
                               pass_fds=[write_end], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    os.close(write_end)
    watcher = None
    try:
        with os.fdopen(read_end) as displays:
            os.environ["DISPLAY"] = ":" + displays.readline().strip()
        watcher = test.spawn_server(WATCHER, "/StatusNotifierWatcher", WATCHER,
                                    stdout=subprocess.DEVNULL)
        mock = dbus.Interface(test.get_dbus().get_object(WATCHER, "/StatusNotifierWatcher"),
                              dbusmock.MOCK_IFACE)
        register = 'self.UpdateProperties(interface, {"RegisteredStatusNotifierItems": [args[0]]})'
        mock.AddMethod(WATCHER, "RegisterStatusNotifierItem", "s", "", register)
        mock.AddProperties(WATCHER, {"IsStatusNotifierHostRegistered": True,
                                     "RegisteredStatusNotifierItems": dbus.Array([], "s")})
        return subprocess.call(sys.argv[1:], env=dict(os.environ, QT_QPA_PLATFORM="xcb"))
    finally:
        for process in (watcher, display):
            if process:
                process.terminate()
                process.wait()
        test.stop_dbus(test.session_bus_pid)
        # dbusmock leaves its bus configuration folder in /tmp
        shutil.rmtree(os.path.dirname(test.get_services_dir()), ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
