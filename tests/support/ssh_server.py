#!/usr/bin/python3
"""OpenSSH's sshd on a loopback port for tests, with its own configuration and host key.

It serves SFTP to one password login (FTP_TEST_PASSWORD) whose home is ROOT/LOGIN_DIR. The
account exists only in a private mount namespace, over whose /etc/passwd and /etc/shadow copies
holding it are mounted (root only). Its host key is an Ed25519 key, or with --mode rsa-only an
RSA key and no other. Writes host_key.pub, fingerprint and other-fingerprint (a
key sshd does not have) into --state-dir, then prints "PORT <n>" once sshd listens.
"""

import argparse
import ctypes
import os
import signal
import socket
import subprocess
import sys
import threading

TEST_UID = 47231  # an account number nobody else uses, owning the served tree


def run(*args, stdin=None):
    return subprocess.run(args, input=stdin, check=True, capture_output=True, text=True).stdout


def write(path, text, mode=0o600):
    with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode), "w") as out:
        out.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for name in ("--root", "--state-dir", "--user"):
        parser.add_argument(name, required=True)
    parser.add_argument("--login-dir", default="")
    parser.add_argument("--mode", default="normal", choices=("normal", "rsa-only"))
    parser.add_argument("--watch-stdin", action="store_true", help="exit when stdin closes")
    options = parser.parse_args()
    state = lambda name: os.path.join(options.state_dir, name)

    host_type = "rsa" if options.mode == "rsa-only" else "ed25519"
    for key, fingerprint, kind in (("host_key", "fingerprint", host_type),
                                   ("other_key", "other-fingerprint", "ed25519")):
        run("ssh-keygen", "-q", "-t", kind, "-N", "", "-f", state(key))
        write(state(fingerprint), run("ssh-keygen", "-lf", state(key) + ".pub").split()[1])
    home = os.path.join(options.root, options.login_dir.strip("/"))
    hashed = run("openssl", "passwd", "-6", "-stdin", stdin=os.environ.get("FTP_TEST_PASSWORD", ""))
    for name, entry in (("passwd", "%s:x:%d:65534::%s:/bin/sh" % (options.user, TEST_UID, home)),
                        ("shadow", "%s:%s:19000:0:99999:7:::" % (options.user, hashed.strip()))):
        with open("/etc/" + name) as system:
            write(state(name), system.read() + entry + "\n", 0o644 if name == "passwd" else 0o600)
    os.chmod(os.path.dirname(os.path.abspath(options.root)), 0o711)  # the account reaches its home
    run("chown", "-R", "%d:65534" % TEST_UID, options.root)

    with socket.create_server(("127.0.0.1", 0)) as probe:
        port = probe.getsockname()[1]
    write(state("sshd_config"), "\n".join((
        "ListenAddress 127.0.0.1", "Port %d" % port, "HostKey " + state("host_key"),
        "PidFile none", "UsePAM no", "PasswordAuthentication yes",
        "KbdInteractiveAuthentication no", "PubkeyAuthentication no", "PermitRootLogin no",
        "AllowUsers " + options.user, "AuthorizedKeysFile none", "StrictModes no",
        "Subsystem sftp internal-sftp", "LogLevel FATAL", "")))
    os.makedirs("/run/sshd", mode=0o755, exist_ok=True)  # sshd's privilege separation directory
    pr_set_pdeathsig = lambda: ctypes.CDLL(None).prctl(1, signal.SIGKILL)  # ends with us
    sshd = subprocess.Popen(
        ["unshare", "--mount", "--propagation", "private", "--", "sh", "-c",
         'mount --bind "$1" /etc/passwd && mount --bind "$2" /etc/shadow && exec "$3" -D -e -f "$4"',
         "sh", state("passwd"), state("shadow"), "/usr/sbin/sshd", state("sshd_config")],
        preexec_fn=pr_set_pdeathsig)
    if options.watch_stdin:  # the parent going away closes our stdin: do not outlive it
        threading.Thread(target=lambda: (sys.stdin.buffer.read(), os._exit(0)), daemon=True).start()
    while sshd.poll() is None and socket.socket().connect_ex(("127.0.0.1", port)) != 0:
        threading.Event().wait(0.02)
    if sshd.poll() is not None:
        sys.exit("sshd ended at start-up")
    print("PORT %d" % port, flush=True)
    sys.exit(sshd.wait())


if __name__ == "__main__":
    main()
