#!/usr/bin/python3
"""OpenSSH's sshd on a loopback port for tests, with its own configuration and host key.

It serves SFTP to one password login whose home directory is ROOT/LOGIN_DIR. The account exists
only in a private mount namespace, over whose /etc/passwd and /etc/shadow copies holding it are
mounted, so the machine's accounts are left alone (root only). Password from FTP_TEST_PASSWORD.
Writes into --state-dir host_key.pub and fingerprint (as ssh-keygen -l prints it) and a second
key's fingerprint (other-fingerprint), then prints "PORT <n>" once sshd listens.
"""

import argparse
import ctypes
import os
import signal
import socket
import subprocess
import sys
import threading

SSHD = "/usr/sbin/sshd"
TEST_UID = 47231  # an account number nobody else uses, owning the served tree


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def make_key(path):
    run("ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", path)
    return run("ssh-keygen", "-lf", path + ".pub").split()[1]


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def write(path, text, mode=0o600):
    with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode), "w") as out:
        out.write(text)


def account_files(state, user, home, password):
    """Copies of /etc/passwd and /etc/shadow with the test account added."""
    hashed = subprocess.run(["openssl", "passwd", "-6", "-stdin"], input=password, check=True,
                            capture_output=True, text=True).stdout.strip()
    with open("/etc/passwd") as passwd, open("/etc/shadow") as shadow:
        write(os.path.join(state, "passwd"), passwd.read() +
              "%s:x:%d:65534::%s:/bin/sh\n" % (user, TEST_UID, home), 0o644)
        write(os.path.join(state, "shadow"), shadow.read() + "%s:%s:19000:0:99999:7:::\n" %
              (user, hashed))


def die_with_parent():
    """Run in the child: SIGKILL when this script ends, however it ends."""
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for name in ("--root", "--state-dir", "--user"):
        parser.add_argument(name, required=True)
    parser.add_argument("--login-dir", default="")
    parser.add_argument("--watch-stdin", action="store_true", help="exit when stdin closes")
    options = parser.parse_args()
    state = options.state_dir
    home = os.path.join(options.root, options.login_dir.strip("/"))

    key = os.path.join(state, "host_key")
    write(os.path.join(state, "fingerprint"), make_key(key))
    write(os.path.join(state, "other-fingerprint"), make_key(os.path.join(state, "other_key")))
    account_files(state, options.user, home, os.environ.get("FTP_TEST_PASSWORD", ""))
    os.chmod(os.path.dirname(os.path.abspath(options.root)), 0o711)  # the account reaches its home
    for directory, _, files in os.walk(options.root):
        for name in [directory] + [os.path.join(directory, f) for f in files]:
            os.chown(name, TEST_UID, 65534)
    port = free_port()
    config = os.path.join(state, "sshd_config")
    write(config, "\n".join((
        "ListenAddress 127.0.0.1", "Port %d" % port, "HostKey " + key, "PidFile none",
        "UsePAM no", "PasswordAuthentication yes", "KbdInteractiveAuthentication no",
        "PubkeyAuthentication no", "PermitRootLogin no", "AllowUsers " + options.user,
        "AuthorizedKeysFile none", "StrictModes no", "Subsystem sftp internal-sftp",
        "LogLevel FATAL", "")))
    os.makedirs("/run/sshd", mode=0o755, exist_ok=True)  # sshd's privilege separation directory
    sshd = subprocess.Popen(
        ["unshare", "--mount", "--propagation", "private", "--", "sh", "-c",
         'mount --bind "$1" /etc/passwd && mount --bind "$2" /etc/shadow && exec "$3" -D -e -f "$4"',
         "sh", os.path.join(state, "passwd"), os.path.join(state, "shadow"), SSHD, config],
        preexec_fn=die_with_parent)
    if options.watch_stdin:  # the parent going away closes our stdin: do not outlive it
        threading.Thread(target=lambda: (sys.stdin.buffer.read(), sshd.kill(), os._exit(0)),
                         daemon=True).start()
    while sshd.poll() is None:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            break
        except OSError:
            threading.Event().wait(0.02)
    if sshd.poll() is not None:
        sys.exit("sshd ended at start-up")
    print("PORT %d" % port, flush=True)
    sys.exit(sshd.wait())


if __name__ == "__main__":
    main()
