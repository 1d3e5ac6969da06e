#!/usr/bin/env bash
# End-to-end tests of the built orvane binary in a private network namespace: a tun link
# 203.0.113.45 owned by a stand-in pppd (or a stand-in NetworkManager), a local FTP server,
# settings from orvane-config.
# Usage: orvane_e2e.sh BIN_DIR SCENARIO   (exit 77: skipped)
set -uo pipefail
bin=$1
scenario=$2
source "$(dirname "$0")/../../scripts/lib/sandbox.sh"

if [[ $(id -u) -ne 0 ]] || ! command -v unshare >/dev/null || [[ ! -c /dev/net/tun ]]; then
  echo "SKIP: needs root, unshare and /dev/net/tun to make a private network namespace"
  exit 77
fi
sandbox_enter "$0" "$@"

work=$(mktemp -d)
app=$work/app
served=$work/served
mkdir -p "$served"
user=orvane
password='pw with spaces;$(x)'
orvane_pid=

cleanup() {
  [[ -n $orvane_pid ]] && kill -KILL "$orvane_pid" 2>/dev/null
  [[ -n ${SANDBOX_FTP_PID:-} ]] && kill "$SANDBOX_FTP_PID" 2>/dev/null
  [[ -n ${SANDBOX_NM_PID:-} ]] && kill "$SANDBOX_NM_PID" 2>/dev/null && wait "$SANDBOX_NM_PID"
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# Runs orvane in the background; as_user=(setpriv ...) runs it as another user.
as_user=()
start_orvane() {
  QT_QPA_PLATFORM=offscreen "${as_user[@]}" "$app/orvane" >"$work/stdout" 2>"$work/stderr" &
  orvane_pid=$!
}

stop_orvane() {
  kill -TERM "$orvane_pid"
  wait "$orvane_pid"
  local status=$?
  orvane_pid=
  return $status
}

log_has() { grep -q "$1" "$app/orvane.log" 2>/dev/null; }
log_count() { grep -c "$1" "$app/orvane.log" 2>/dev/null || true; }
no_leftovers() { [[ ! -e $app/raradozo.so && ! -e $app/ip.txt ]]; }
seconds_of() { IFS=: read -r h m s <<<"$1"; echo $((10#$h * 3600 + 10#$m * 60 + 10#$s)); }

case $scenario in
publishes)
  sandbox_link ppp0 203.0.113.45 203.0.113.1
  sandbox_ftp_start "$served" "$user" "$password" normal
  mkdir -p "$served/pub"
  sandbox_app "$app" "$bin" "127.0.0.1:$SANDBOX_FTP_PORT" "$user" "$password" pub/ ip.txt 600 2
  # Another file planted as ip.txt by a hard link: the cycle must not write through it.
  echo precious >"$work/other"
  ln "$work/other" "$app/ip.txt"
  start_orvane
  check "the first cycle logs the address change" sandbox_wait_for 20 log_has "Cambio IP"
  check "the file hard-linked as ip.txt keeps its content" test "$(cat "$work/other")" = precious
  check "the server holds the file" test -f "$served/pub/ip.txt"
  check "its third line is the link's address" \
    test "$(sed -n 3p "$served/pub/ip.txt" | tr -d '\r')" = "IP:   203.0.113.45"
  check "it has three lines, each ending in CR LF" \
    test "$(grep -c $'\r$' "$served/pub/ip.txt")" -eq 3 -a "$(wc -l <"$served/pub/ip.txt")" -eq 3
  check "its first line holds the date and time" grep -q '^Date: .*   Time: ' "$served/pub/ip.txt"
  check "the log line ends in CR LF" grep -q $'Cambio IP\r$' "$app/orvane.log"
  check "the password is nowhere in the log or output" \
    bash -c '! grep -qF -- "$1" "$2/orvane.log" "$3/stdout" "$3/stderr"' _ "$password" "$app" "$work"
  check "SIGTERM ends it with status 0" stop_orvane
  check "no library file or ip.txt is left" no_leftovers
  ;;
refused-store)
  sandbox_link ppp0 203.0.113.45 203.0.113.1
  sandbox_ftp_start "$served" "$user" "$password" refuse-stor
  sandbox_app "$app" "$bin" "127.0.0.1:$SANDBOX_FTP_PORT" "$user" "$password" / ip.txt 600 1
  start_orvane
  check "two failed uploads are logged" \
    sandbox_wait_for 30 bash -c '[[ $(grep -c "Invio file fallito" "$1") -ge 2 ]]' _ "$app/orvane.log"
  times=($(grep "Invio file fallito" "$app/orvane.log" | awk '{print $2}'))
  gap=$(($(seconds_of "${times[1]}") - $(seconds_of "${times[0]}")))
  check "the retry came about 15 seconds later ($gap s)" test "$gap" -ge 14 -a "$gap" -le 17
  check "no Cambio IP for a failed upload" test "$(log_count 'Cambio IP')" -eq 0
  check "SIGTERM ends it with status 0" stop_orvane
  check "no library file or ip.txt is left" no_leftovers
  ;;
offline)
  # No link and no pppd to dial: the cycle reports the failed dial.
  sandbox_ftp_start "$served" "$user" "$password" normal
  sandbox_app "$app" "$bin" "127.0.0.1:$SANDBOX_FTP_PORT" "$user" "$password" / ip.txt 600 1
  PATH=/nonexistent start_orvane
  check "the failed dial is logged" sandbox_wait_for 20 log_has "Connessione Internet fallita"
  check "nothing reached the server" test -z "$(ls -A "$served")"
  check "SIGTERM ends it with status 0" stop_orvane
  check "no library file or ip.txt is left" no_leftovers
  ;;
missing-delay)
  sandbox_app "$app" "$bin" "127.0.0.1:21" "$user" "$password" / ip.txt 600 5
  sed -i '/^DELAY=/d' "$app/orvane.ini"
  QT_QPA_PLATFORM=offscreen timeout 20 "$app/orvane" >"$work/stdout" 2>"$work/stderr"
  status=$?
  check "start-up fails with a non-zero status ($status)" test "$status" -ne 0 -a "$status" -ne 124
  check "the message names DELAY and the settings file" \
    grep -q "DELAY.*$app/orvane.ini" "$work/stderr"
  check "no library file is left" no_leftovers
  ;;
second-copy)
  sandbox_link ppp0 203.0.113.45 203.0.113.1
  sandbox_ftp_start "$served" "$user" "$password" normal
  sandbox_app "$app" "$bin" "127.0.0.1:$SANDBOX_FTP_PORT" "$user" "$password" / ip.txt 600 300
  start_orvane
  check "the first copy deploys its library" sandbox_wait_for 10 test -e "$app/raradozo.so"
  QT_QPA_PLATFORM=offscreen timeout 20 "$app/orvane" >"$work/stdout2" 2>"$work/stderr2"
  check "a second copy is refused" test $? -ne 0
  check "with a clear message" grep -qi "already running" "$work/stderr2"
  check "the first copy's library is still there" test -e "$app/raradozo.so"
  check "SIGTERM ends the first copy with status 0" stop_orvane
  check "no library file or ip.txt is left" no_leftovers
  ;;
closing-mid-transfer)
  # SIGTERM while the server never answers the login, then while it never finishes a store:
  # the transfer is given up at once and the program ends cleanly.
  sandbox_link ppp0 203.0.113.45 203.0.113.1
  for stage in "silent:CONNECT" "stall-stor:<- STOR"; do
    mode=${stage%%:*}
    sandbox_ftp_start "$served" "$user" "$password" "$mode" "$work/transcript-$mode"
    sandbox_app "$app" "$bin" "127.0.0.1:$SANDBOX_FTP_PORT" "$user" "$password" / ip.txt 600 1
    start_orvane
    check "$mode: the transfer has begun" sandbox_wait_for 20 grep -qF "${stage#*:}" "$work/transcript-$mode"
    sleep 0.5
    started=$(date +%s%N)
    check "$mode: SIGTERM ends it with status 0" stop_orvane
    elapsed=$((($(date +%s%N) - started) / 1000000))
    check "$mode: within a second of SIGTERM ($elapsed ms)" test "$elapsed" -lt 1000
    check "$mode: no library file or ip.txt is left" no_leftovers
    check "$mode: no failure is logged for the cancelled transfer" test ! -e "$app/orvane.log"
    kill "$SANDBOX_FTP_PID"
    wait "$SANDBOX_FTP_PID" 2>/dev/null
  done
  ;;
early-signal)
  # SIGTERM while the program is still starting: whenever it lands, nothing stays behind.
  sandbox_link ppp0 203.0.113.45 203.0.113.1
  sandbox_app "$app" "$bin" "127.0.0.1:21" "$user" "$password" / ip.txt 600 300
  for delay in 0 0.02 0.05 0.1 0.2 0.4; do
    start_orvane
    sleep "$delay"
    kill -TERM "$orvane_pid"
    wait "$orvane_pid"
    orvane_pid=
    check "SIGTERM after ${delay}s leaves no library file" no_leftovers
  done
  ;;
network-manager)
  # An ordinary user's desktop: NetworkManager on the system bus with a VPN up and the
  # dial-up connection named in RASDIAL down. Orvane activates that and publishes its address.
  cat >"$work/scenario.json" <<'EOF_SCENARIO'
{"active": [{"id": "VPN", "type": "wireguard", "address": "10.8.0.2", "iface": "wg0"}],
 "saved": [{"id": "Mobile", "type": "gsm", "dial": "up", "address": "203.0.113.77"}]}
EOF_SCENARIO
  ip link set lo up
  sandbox_network_manager "$work/scenario.json" "$work/nm.log"
  sandbox_ftp_start "$served" "$user" "$password" normal
  sandbox_app "$app" "$bin" "127.0.0.1:$SANDBOX_FTP_PORT" "$user" "$password" / ip.txt 600 1
  sed -i 's/^RASDIAL=.*/RASDIAL=Mobile/' "$app/orvane.ini"
  mkdir -p "$work/home"
  chown -R nobody "$app" "$work/home"
  chmod 755 "$work"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work/home"
    DBUS_SYSTEM_BUS_ADDRESS="$SANDBOX_NM_BUS")
  start_orvane
  check "the dial is logged as a success" sandbox_wait_for 20 log_has "Connessione Internet riuscita"
  check "the address is published" sandbox_wait_for 10 test -f "$served/ip.txt"
  check "it is the dial-up connection's, not the VPN's" \
    test "$(sed -n 3p "$served/ip.txt" | tr -d '\r')" = "IP:   203.0.113.77"
  check "only that connection was activated" test "$(cat "$work/nm.log")" = "activate Mobile"
  check "SIGTERM ends it with status 0" stop_orvane
  check "no library file or ip.txt is left" no_leftovers
  ;;
closing-dial)
  # A pppd that never detaches: SIGTERM during the dial stops it and ends orvane at once.
  mkdir -p "$work/bin"
  printf '#!/bin/sh\necho $$ >"%s"\nexec sleep 600\n' "$work/pppd.pid" >"$work/bin/pppd"
  chmod +x "$work/bin/pppd"
  sandbox_app "$app" "$bin" "127.0.0.1:21" "$user" "$password" / ip.txt 600 1
  sed -i 's/^RASDIAL=.*/RASDIAL=Ufficio/' "$app/orvane.ini"
  PATH=$work/bin:$PATH start_orvane
  check "the dial has started" sandbox_wait_for 20 test -s "$work/pppd.pid"
  sleep 0.3
  started=$(date +%s%N)
  stop_orvane
  status=$?
  elapsed=$((($(date +%s%N) - started) / 1000000))
  check "SIGTERM during the dial ends it with status 0 ($status)" test "$status" -eq 0
  check "within a second ($elapsed ms)" test "$elapsed" -lt 1000
  check "the pppd it started is stopped" sandbox_wait_for 5 \
    bash -c '[[ ! -d /proc/$1 || $(cut -d" " -f3 /proc/$1/stat) == Z ]]' _ "$(cat "$work/pppd.pid")"
  check "nothing about the dial is logged" bash -c '! grep -q "Connessione Internet" "$1" 2>/dev/null' _ "$app/orvane.log"
  check "no library file or ip.txt is left" no_leftovers
  ;;
*)
  echo "unknown scenario $scenario"
  exit 2
  ;;
esac

if ((failures)); then
  echo "--- orvane's standard error"; cat "$work/stderr" 2>/dev/null
  echo "--- log"; cat "$app/orvane.log" 2>/dev/null
fi
exit $((failures > 0))
