#!/usr/bin/env bash
# The Debian packages: lintian finds no error in any, each holds what an installation needs, the
# headless one depends on no window, display or font library, and its system unit passes
# systemd's checks. Installed with apt-get (orvane-headless alone, then the window's orvane), each
# publishes over a link in a private network namespace: orvane-headless as the service's user
# with the unit's folders and the settings orvane-config writes as root, orvane --headless as an
# ordinary user. The arm64 programs publish under qemu-user. Purging leaves nothing behind.
# Usage: package_test.sh DEB...   (as scripts/package-deb prints them)
set -uo pipefail
source "$(dirname "$0")/../../scripts/lib/sandbox.sh"

# Libraries that only a window, a display or fonts need.
window_libraries='libqt6(gui|widgets|opengl)|libx11|libxcb|wayland|libgl1|libegl|libopengl|libfontconfig|libfreetype'

# Inside the namespaces: the FTP server and a link, the settings written, then PROGRAM run as
# the user the AS_USER array names until it has published and logged; then SIGTERM. The
# settings are written by CONFIG (orvane-config, with the same user prefix or none).
# Usage: publish_once USER STATE_DIR RUNTIME_DIR -- PROGRAM...; with as_user and config set.
publish_once() {
  local user=$1 state=$2 runtime=$3 program_pid password=installed-pw served
  shift 4
  served=$(mktemp -d)
  chmod 755 "$served"
  mkdir -p "$served/pub"
  sandbox_link ppp0 203.0.113.45 203.0.113.1
  sandbox_ftp_start "$served" orvane "$password" normal || return 1
  printf '%s\n' "$password" | "${config[@]}" write --server "127.0.0.1:$SANDBOX_FTP_PORT" \
    --user orvane --path pub/ --file ip.txt --interval 600 --first 1 >/dev/null
  "${as_user[@]}" "$@" >/dev/null 2>"$served/stderr" &
  program_pid=$!
  check "it publishes the link's address" \
    sandbox_wait_for 60 grep -qs "IP:   203.0.113.45" "$served/pub/ip.txt"
  check "it logs to $state/orvane.log" sandbox_wait_for 5 grep -qs "Cambio IP" "$state/orvane.log"
  check "its library file is in $runtime while it runs" test -f "$runtime/raradozo.so"
  kill -TERM "$program_pid"
  wait "$program_pid"
  check "no library file is left in its folders or the temporary ones" test -z \
    "$(find "$state" "$runtime" /tmp /var/tmp /dev/shm -user "$user" -name 'raradozo*' 2>/dev/null)"
  ((failures == 0)) || { echo "--- standard error"; cat "$served/stderr"; }
  kill "$SANDBOX_FTP_PID" 2>/dev/null
  rm -rf "$served"
}

# orvane-headless as the service's user, with what the unit gives it: its folders named in the
# environment, no HOME; the settings written by orvane-config as root with no FILE.
service_run() {
  local run=/run/orvane
  install -d -o orvane -g orvane -m 700 "$run" /var/lib/orvane
  as_user=(setpriv --reuid=orvane --regid=orvane --init-groups -- env -i PATH=/usr/bin:/bin
    LANG=C.UTF-8 CONFIGURATION_DIRECTORY=/etc/orvane STATE_DIRECTORY=/var/lib/orvane
    RUNTIME_DIRECTORY=$run)
  config=(orvane-config)
  publish_once orvane /var/lib/orvane "$run" -- orvane-headless
  check "orvane-config as root wrote the service's settings, readable by its group only" \
    test "$(stat -c %U:%G:%a /etc/orvane/orvane.ini)" = root:orvane:640
}

# PROGRAM... run as user nobody with a fresh HOME and run-time folder, as a user's session has;
# the settings written by CONFIG... as that user.
# Usage: user_run CONFIG... -- PROGRAM...
user_run() {
  local work
  work=$(mktemp -d)
  chmod 755 "$work"
  mkdir -p "$work/home" "$work/runtime"
  chown nobody:nogroup "$work/home" "$work/runtime"
  chmod 700 "$work/runtime"
  # Each of these execs the next, so a background start's $! is the program's own.
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups -- env -i HOME="$work/home"
    XDG_RUNTIME_DIR="$work/runtime" PATH=/usr/bin:/bin LANG=C.UTF-8)
  config=("${as_user[@]}")
  while [[ $1 != -- ]]; do config+=("$1") && shift; done
  shift
  publish_once nobody "$work/home/.local/state/orvane" "$work/runtime/orvane" -- "$@"
  rm -rf "$work"
}

case ${1:-} in
  --service-run) sandbox_enter "$0" "$@" && { service_run; exit $((failures > 0)); } ;;
  --user-run)
    shift
    sandbox_enter "$0" --user-run "$@" && { user_run "$@"; exit $((failures > 0)); }
    ;;
esac

debs=()
for deb in "$@"; do debs+=("$(realpath "$deb")"); done
deb_of() { printf '%s\n' "${debs[@]}" | grep -E "/${1}_[^/]*_$2\.deb$"; }
headless=$(deb_of orvane-headless amd64) common=$(deb_of orvane-common amd64)
window=$(deb_of orvane amd64)

echo "== lintian"
for deb in "${debs[@]}"; do
  check "lintian reports no error in $(basename "$deb")" lintian --fail-on error "$deb"
done

echo "== contents"
# What neither lintian nor the runs below would miss; they catch the rest missing.
holds() { grep -qx "./$2" <<<"$(dpkg-deb -c "$1" | awk '{print $6}')"; }
for entry in "$window usr/share/applications/orvane.desktop" "$window usr/share/pixmaps/orvane.xpm" \
  "$common usr/share/man/man1/orvane.1.gz" "$common usr/share/man/man1/orvane-config.1.gz" \
  "$common usr/lib/orvane/orvane-transfer" \
  "$headless usr/share/polkit-1/rules.d/50-orvane.rules" "$headless usr/lib/sysusers.d/orvane.conf"; do
  read -r deb path <<<"$entry"
  check "$(basename "$deb") holds /$path" holds "$deb" "$path"
done
for deb in $(deb_of orvane-headless '(amd64|arm64)'); do
  check "$(basename "$deb") depends on no window library" \
    bash -c '! dpkg-deb -f "$1" Depends | grep -Eq "$2"' - "$deb" "$window_libraries"
done
check "the window's package does (the pattern finds them)" \
  grep -Eq "$window_libraries" <<<"$(dpkg-deb -f "$window" Depends)"
# From an empty system, as apt would install it there.
closure=$(apt-get install --simulate --no-install-recommends -o Dir::State::status=/dev/null \
  "$headless" "$common" 2>&1 | awk '/^Inst/ {print $2}')
check "apt-get would install orvane-headless from nothing with no window library" \
  bash -c '[[ $1 == *libqt6core6* && $1 != *"orvane "* ]] && ! grep -Eq "$2" <<<"$1"' - \
  "$closure" "$window_libraries"

echo "== system unit"
unit=$(mktemp -d)
dpkg-deb -x "$headless" "$unit"
exposure() { systemd-analyze security --offline=yes --threshold=25 "$1" >/dev/null; }
check "systemd-analyze security rates its exposure 2.5 at most" \
  exposure "$unit/lib/systemd/system/orvane.service"
rm -rf "$unit"

echo "== installed"
if [[ $(id -u) -ne 0 ]] || ! command -v unshare >/dev/null || [[ ! -c /dev/net/tun ]]; then
  echo "SKIP: installing needs root, and the runs unshare and /dev/net/tun"
  exit $((failures > 0))
fi
if dpkg-query -W -f='${Status}' orvane orvane-headless orvane-common 2>/dev/null | grep -q "ok installed"; then
  echo "SKIP: an Orvane package is installed already; it is left alone"
  exit $((failures > 0))
fi
apt() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -qq "$@" >/dev/null; }
trap 'apt purge orvane orvane-headless orvane-common' EXIT
if apt install --no-install-recommends "$headless" "$common"; then
  check "orvane-headless came without the window's package" \
    bash -c '! dpkg-query -W -f="\${Status}" orvane 2>/dev/null | grep -q "ok installed"'
  check "systemd accepts the installed system unit" \
    systemd-analyze verify /lib/systemd/system/orvane.service
  check "the service's user exists, as a system user" \
    bash -c '(( $(id -u orvane) < 1000 ))'
  bash "$0" --service-run || failures=$((failures + 1))
else
  check "apt-get installs orvane-headless" false
fi
if apt install --no-install-recommends "$window"; then
  check "systemd accepts the installed user unit" \
    systemd-analyze verify /usr/lib/systemd/user/orvane.service
  bash "$0" --user-run orvane-config -- orvane --headless || failures=$((failures + 1))
else
  check "apt-get installs orvane" false
fi
apt purge orvane orvane-headless orvane-common
trap - EXIT
for path in /etc/orvane /var/lib/orvane /lib/systemd/system/orvane.service /usr/bin/orvane-config; do
  check "purging leaves no $path" test ! -e "$path"
done
check "purging leaves no user or group orvane" \
  bash -c '! getent passwd orvane && ! getent group orvane'

arm64=$(deb_of orvane-headless arm64)
echo "== arm64 under qemu-user"
if [[ -z $arm64 ]] || ! command -v qemu-aarch64 >/dev/null; then
  echo "SKIP: no arm64 package or no qemu-aarch64"
else
  root=$(mktemp -d)
  chmod 755 "$root"
  dpkg-deb -x "$arm64" "$root"
  dpkg-deb -x "$(deb_of orvane-common arm64)" "$root"
  # The program starts its transfer helper itself; without binfmt_misc the kernel cannot run an
  # ARM executable, so the helper's place holds a script that runs the real one under qemu too.
  helper=$root/usr/lib/orvane/orvane-transfer
  mv "$helper" "$helper.arm64"
  printf '#!/bin/sh\nexec qemu-aarch64 "$0.arm64" "$@"\n' >"$helper"
  chmod 755 "$helper"
  check "the arm64 program is an ARM executable" \
    grep -q "ARM aarch64" <<<"$(file -L "$root/usr/bin/orvane-headless")"
  bash "$0" --user-run qemu-aarch64 "$root/usr/bin/orvane-config" -- \
    qemu-aarch64 "$root/usr/bin/orvane-headless" || failures=$((failures + 1))
  rm -rf "$root"
fi
exit $((failures > 0))
