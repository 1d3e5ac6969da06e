#!/usr/bin/env bash
# The Debian package: lintian finds no error, it holds what an installation needs, and once
# installed with apt-get it runs headless as an ordinary user with a temporary HOME, publishing
# over a link in a private network namespace. The package is removed again at the end.
# Usage: package_test.sh DEB
set -uo pipefail
source "$(dirname "$0")/../../scripts/lib/sandbox.sh"

# Inside the namespace: the installed programs as user nobody, HOME and runtime folder fresh.
installed_run() {
  orvane_pid= password=installed-pw
  work=$(mktemp -d)
  home=$work/home runtime=$work/runtime served=$work/served
  trap 'kill -KILL $orvane_pid 2>/dev/null; kill $SANDBOX_FTP_PID 2>/dev/null; rm -rf "$work"' EXIT
  chmod 755 "$work"
  mkdir -p "$home" "$runtime" "$served/pub"
  chown nobody:nogroup "$home" "$runtime"
  chmod 700 "$runtime"
  # Each of these execs the next, so a background start's $! is the program's own.
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups -- env -i HOME="$home"
    XDG_RUNTIME_DIR="$runtime" PATH=/usr/bin:/bin LANG=C.UTF-8)

  sandbox_link ppp0 203.0.113.45 203.0.113.1
  sandbox_ftp_start "$served" orvane "$password" normal || return 1
  printf '%s\n' "$password" | "${as_user[@]}" orvane-config write --server "127.0.0.1:$SANDBOX_FTP_PORT" \
    --user orvane --path pub/ --file ip.txt --interval 600 --first 1 >/dev/null

  "${as_user[@]}" orvane --headless >/dev/null 2>"$work/stderr" &
  orvane_pid=$!
  check "it publishes the link's address" \
    sandbox_wait_for 30 grep -qs "IP:   203.0.113.45" "$served/pub/ip.txt"
  check "it logs to ~/.local/state/orvane/orvane.log" \
    sandbox_wait_for 5 grep -qs "Cambio IP" "$home/.local/state/orvane/orvane.log"
  check "its library file is in the runtime folder while it runs" test -f "$runtime/orvane/raradozo.so"
  kill -TERM "$orvane_pid"
  wait "$orvane_pid"
  orvane_pid=
  check "no library file is left in its folders or the temporary ones" test -z \
    "$(find "$home" "$runtime" /tmp /var/tmp /dev/shm -user nobody -name 'raradozo*' 2>/dev/null)"
  ((failures == 0)) || { echo "--- standard error"; cat "$work/stderr"; }
  return $((failures > 0))
}

if [[ ${1:-} == --installed-run ]]; then
  installed_run
  exit
fi

deb=$(realpath "$1")
echo "== lintian"
check "lintian reports no error" lintian --fail-on error "$deb"

listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
# What neither lintian nor the run below would miss; they catch the rest missing.
for path in usr/share/applications/orvane.desktop usr/share/pixmaps/orvane.xpm \
  usr/share/man/man1/orvane.1.gz usr/share/man/man1/orvane-config.1.gz; do
  check "it holds /$path" grep -qx "./$path" <<<"$listing"
done
check "dpkg-shlibdeps found the Qt libraries" grep -q libqt6core6 <<<"$(dpkg-deb -f "$deb" Depends)"

echo "== installed"
if [[ $(id -u) -ne 0 ]] || ! command -v unshare >/dev/null || [[ ! -c /dev/net/tun ]]; then
  echo "SKIP: installing needs root, and the run unshare and /dev/net/tun"
elif dpkg-query -W -f='${Status}' orvane 2>/dev/null | grep -q "install ok installed"; then
  echo "SKIP: a package orvane is installed already; it is left alone"
else
  apt() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -qq "$@" >/dev/null; }
  trap 'apt purge orvane' EXIT
  if apt install --no-install-recommends "$deb"; then
    check "systemd accepts the installed user unit" \
      systemd-analyze verify /usr/lib/systemd/user/orvane.service
    unshare --net --fork -- bash "$0" --installed-run || failures=$((failures + 1))
  else
    check "apt-get installs it" false
  fi
fi
exit $((failures > 0))
