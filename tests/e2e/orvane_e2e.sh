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
helper_pids=()

cleanup() {
  [[ -n $orvane_pid ]] && kill -KILL "$orvane_pid" 2>/dev/null
  for pid in "${helper_pids[@]}"; do kill "$pid" 2>/dev/null; done
  [[ -n ${SANDBOX_FTP_PID:-} ]] && kill "$SANDBOX_FTP_PID" 2>/dev/null
  [[ -n ${SANDBOX_NM_PID:-} ]] && kill "$SANDBOX_NM_PID" 2>/dev/null && wait "$SANDBOX_NM_PID"
  [[ -n ${KEEP:-} ]] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

# Runs "$@" in the background as orvane; its pid in orvane_pid.
start() {
  "$@" >"$work/stdout" 2>"$work/stderr" &
  orvane_pid=$!
}
# The program beside its settings, without a display; as_user=(setpriv ...) runs it as another user.
as_user=()
start_orvane() { QT_QPA_PLATFORM=offscreen start "${as_user[@]}" "$app/orvane"; }

# Stops orvane with SIGNAL; true when it ended with STATUS (or one of A|B) within LIMIT seconds
# (default 20).
ends_with() {
  local signal=$1 expected=$2 limit=${3:-20}
  kill -"$signal" "$orvane_pid"
  timeout "$limit" tail -s 0.05 --pid="$orvane_pid" -f /dev/null
  local ended=$?
  ((ended == 0)) || kill -KILL "$orvane_pid"
  wait "$orvane_pid"
  local status=$?
  orvane_pid=
  [[ $ended -eq 0 && $status =~ ^($expected)$ ]]
}
# SIGTERM ends it with status 0 (within LIMIT seconds) and leaves nothing behind.
ends_cleanly() {
  local limit=${1:-20} label=${2:-}
  check "${label}SIGTERM ends it with status 0 within $limit s" ends_with TERM 0 "$limit"
  check "${label}no library file or ip.txt is left" no_leftovers
}

# The link 203.0.113.45 up and the FTP server answering in MODE.
online() {
  sandbox_link ppp0 203.0.113.45 203.0.113.1
  sandbox_ftp_start "$served" "$user" "$password" "$1"
}
# Settings for the server on PORT, the first cycle after FIRST seconds, into folder PATH.
settings() {
  sandbox_app "$app" "$bin" "127.0.0.1:$1" "$user" "$password" "${3:-/}" ip.txt 600 "$2"
}

# A Unix datagram socket standing for the service manager, notify.sock: each message it receives
# becomes a line "SECONDS MESSAGE" in notify.
notify_listen() {
  /usr/bin/python3 -c '
import socket, sys, time
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind(sys.argv[1])
out = open(sys.argv[2], "w", buffering=1)
while True:
    out.write("%.3f %s\n" % (time.monotonic(), s.recv(4096).decode()))
' "$work/notify.sock" "$work/notify" &
  helper_pids+=($!)
  sandbox_wait_for 5 test -S "$work/notify.sock"
}

# True once MESSAGE has come COUNT times (default once).
notified() { (($(cat "$work/notify" 2>/dev/null | grep -c " $1\$") >= ${2:-1})); }

# The typical gap between watchdog messages is half a second (half of WATCHDOG_USEC=1000000);
# the median, since a loaded machine may delay one.
watchdog_steady() {
  awk '/ WATCHDOG=1$/ { if (last) print $1 - last; last = $1 }' "$work/notify" | sort -n |
    awk '{ gap[NR] = $1 } END { m = gap[int((NR + 1) / 2)]; exit !(NR > 3 && m > .35 && m < .75) }'
}

# A name server on 127.0.0.1, made the namespace's, that never answers: each query it gets is a
# line QUERY in queries.
silent_name_server() {
  /usr/bin/python3 -c '
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 53))
out = open(sys.argv[1], "w", buffering=1)
out.write("LISTENING\n")
while s.recv(512):
    out.write("QUERY\n")
' "$work/queries" &
  helper_pids+=($!)
  sandbox_wait_for 5 grep -qs LISTENING "$work/queries"
  printf 'nameserver 127.0.0.1\noptions timeout:30 attempts:1\n' >"$work/resolv.conf"
  mount --bind "$work/resolv.conf" /etc/resolv.conf
}

# True once the log has a line with TEXT COUNT times (default once).
log_has() { (($(cat "$app/orvane.log" 2>/dev/null | grep -c "$1") >= ${2:-1})); }
# True once FILE has COUNT lines with TEXT.
lines_with() { (($(cat "$2" 2>/dev/null | grep -c -- "$1") >= $3)); }
no_leftovers() { [[ ! -e $app/raradozo.so && ! -e $app/ip.txt ]]; }

# A primary server for example.test on 127.0.0.1:5300 that takes updates signed with the key
# "orvane" (hmac-sha256, $named_secret), its files in DIR.
named_secret=b3J2YW5lLWUyZS1rZXktZm9yLWV4YW1wbGUtdGVzdA==
start_named() {
  local dir=$1
  mkdir -p "$dir"
  printf '$TTL 300\n@ IN SOA ns.example.test. admin.example.test. 1 3600 600 86400 300\n@ IN NS ns\nns IN A 192.0.2.53\n' \
    >"$dir/example.test.zone"
  cat >"$dir/named.conf" <<CONF
options { directory "$dir"; listen-on port 5300 { 127.0.0.1; }; listen-on-v6 { none; };
  pid-file "$dir/named.pid"; session-keyfile "$dir/session.key"; managed-keys-directory "$dir";
  recursion no; dnssec-validation no; };
controls { };
key "orvane" { algorithm hmac-sha256; secret "$named_secret"; };
zone "example.test" { type primary; file "$dir/example.test.zone"; allow-update { key "orvane"; }; };
CONF
  /usr/sbin/named -g -c "$dir/named.conf" >"$dir/named.log" 2>&1 &
  helper_pids+=($!)
  sandbox_wait_for 10 zone_serial >/dev/null
}
dig_short() { dig @127.0.0.1 -p 5300 +short +time=1 +tries=1 "$@"; }
zone_serial() { dig_short SOA example.test | awk 'NF { print $3; found=1 } END { exit !found }'; }
# The updates named has applied to the name's A record.
zone_updates() { grep -c "adding an RR at 'casa.example.test' A" "$work/bind/named.log"; }
test_zone_updates() { [[ $(zone_updates) == "$1" ]]; }
dig_answers() { [[ $(dig_short A casa.example.test) == "$1" ]]; }

case $scenario in
targets)
  # One settings file written with orvane-config: the FTP file, a dyndns2 server over HTTPS, a
  # zone of a real BIND 9 updated with TSIG, and a command. The next cycle, with the same
  # address, sends them nothing; a badauth answer stops the dyndns2 target with one log line,
  # and even "publish now" sends it nothing more.
  sandbox_link ppp0 203.0.113.45 203.0.113.1
  start_named "$work/bind"
  sandbox_ftp_start "$served" "$user" "$password" normal "$work/ftp.log"
  ftp_port=$SANDBOX_FTP_PORT
  helper_pids+=("$SANDBOX_FTP_PID")
  mkdir -p "$work/dyn" "$work/tls"
  sandbox_ftp_start "$work/dyn" - - dyndns2 "$work/dyn.log" "$work/tls"
  sandbox_app "$app" "$bin" "127.0.0.1:$ftp_port" "$user" "$password" / ip.txt 2 1
  printf '%s\n' 'dyn pw' | "$bin/orvane-config" target add "$app/orvane.ini" --name dyn \
    --type dyndns2 --server "127.0.0.1:$SANDBOX_FTP_PORT" --user me \
    --hostname casa.example.net --cafile "$work/tls/ca.pem" >/dev/null
  printf '%s\n' "$named_secret" | "$bin/orvane-config" target add "$app/orvane.ini" --name zona \
    --type dnsupdate --server 127.0.0.1:5300 --zone example.test --hostname casa.example.test \
    --key-name orvane >/dev/null
  printf '#!/bin/sh\necho "$1 $ORVANE_PREVIOUS_ADDRESS" >>%s\n' "$work/ran" >"$work/hook"
  chmod 700 "$work/hook"
  "$bin/orvane-config" target add "$app/orvane.ini" --name hook --type command \
    --run "$work/hook" >/dev/null
  check "orvane-config check finds the targets valid" "$bin/orvane-config" check "$app/orvane.ini"
  start_orvane
  check "the file is published" sandbox_wait_for 20 grep -q "IP:   203.0.113.45" "$served/ip.txt"
  check "the dyndns2 server is sent the address" sandbox_wait_for 20 grep -q \
    "<- GET /nic/update?hostname=casa.example.net&myip=203.0.113.45 HTTP" "$work/dyn.log"
  check "the command is run with the address" sandbox_wait_for 20 grep -qx "203.0.113.45 " "$work/ran"
  check "the zone answers the address" sandbox_wait_for 20 dig_answers 203.0.113.45
  # The third file is sent once the second cycle's targets have had their turn.
  check "the next cycles publish the file" sandbox_wait_for 20 lines_with "<- STOR" "$work/ftp.log" 3
  check "... and send the targets nothing" test "$(grep -c '<- GET' "$work/dyn.log")$(wc -l <"$work/ran")" = 11
  check "... nor the zone an update" test "$(zone_updates)" = 1
  echo badauth >"$work/dyn/answer"
  kill -USR1 "$orvane_pid"
  check "publishing now sends to every target" sandbox_wait_for 20 lines_with "<- GET" "$work/dyn.log" 2
  check "... the zone too, changed or not" sandbox_wait_for 20 test_zone_updates 2
  check "badauth stops the target with one log line" sandbox_wait_for 20 log_has "Aggiornamento dyn sospeso"
  kill -USR1 "$orvane_pid"
  check "the command is run again" sandbox_wait_for 20 lines_with . "$work/ran" 3
  check "the stopped target is sent nothing more" test "$(grep -c '<- GET' "$work/dyn.log")" = 2
  check "and logged once" test "$(grep -c "Aggiornamento dyn" "$app/orvane.log")" = 1
  check "the cause goes to standard error" grep -q "dyn: badauth" "$work/stderr"
  ends_cleanly
  ;;
publishes)
  # The first cycle publishes; meanwhile a second copy is refused. The first ignores SIGALRM
  # and ends on SIGQUIT as on SIGTERM.
  online normal
  mkdir -p "$served/pub"
  settings "$SANDBOX_FTP_PORT" 2 pub/
  # Another file planted as ip.txt by a hard link: the cycle must not write through it.
  echo precious >"$work/other"
  ln "$work/other" "$app/ip.txt"
  start_orvane
  check "the first cycle logs the address change" sandbox_wait_for 20 log_has "Cambio IP"
  check "the file hard-linked as ip.txt keeps its content" test "$(cat "$work/other")" = precious
  check "the server's file has the link's address" grep -q "IP:   203.0.113.45" "$served/pub/ip.txt"
  QT_QPA_PLATFORM=offscreen timeout 20 "$app/orvane" >"$work/stdout2" 2>"$work/stderr2"
  check "a second copy ends at once with the start-up error's status" test $? -eq 1
  check "with a clear message" grep -q "^Orvane: .*già in esecuzione in $app" "$work/stderr2"
  check "the first copy's library is still there" test -e "$app/raradozo.so"
  check "the password is nowhere in the log or output" \
    bash -c '! grep -qF -- "$1" "$2/orvane.log" "$3"/std*' _ "$password" "$app" "$work"
  kill -ALRM "$orvane_pid"
  sleep 0.3
  check "SIGALRM is ignored" kill -0 "$orvane_pid"
  check "SIGQUIT ends it with status 0 within a second" ends_with QUIT 0 1
  check "no library file or ip.txt is left" no_leftovers
  ;;
refused-store)
  # The server refuses the store and standard error's reader has gone: the failure's line there
  # is lost, and orvane goes on.
  online refuse-stor
  settings "$SANDBOX_FTP_PORT" 1
  QT_QPA_PLATFORM=offscreen "$app/orvane" 2> >(true) &
  orvane_pid=$!
  check "the refused store is logged as a failed upload" sandbox_wait_for 20 log_has "Invio file fallito"
  kill -USR1 "$orvane_pid"
  check "SIGUSR1 tries again after the failure's line was lost" \
    sandbox_wait_for 10 log_has "Invio file fallito" 2
  ends_cleanly
  ;;
offline)
  # No link and no pppd to dial: the cycle reports the failed dial.
  settings 21 1
  PATH=/nonexistent start_orvane
  check "the failed dial is logged" sandbox_wait_for 20 log_has "Connessione Internet fallita"
  ends_cleanly
  ;;
error-box-signal)
  # Without DELAY start-up fails; on a display its error box shows until a signal closes it.
  settings 21 5
  sed -i '/^DELAY=/d' "$app/orvane.ini"
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  helper_pids+=($!)
  sandbox_wait_for 10 test -s "$work/display"
  export DISPLAY=:$(cat "$work/display")
  start "$app/orvane"
  check "the start-up error box is shown" \
    sandbox_wait_for 15 bash -c 'xwininfo -root -tree 2>/dev/null | grep -q "\"Orvane\""'
  check "SIGTERM ends it with the error's status within a second" ends_with TERM 1 1
  check "the message names DELAY and the settings file" grep -q "DELAY.*$app/orvane.ini" "$work/stderr"
  check "no library file is left" no_leftovers
  ;;
closing-mid-transfer)
  # SIGTERM in each phase of a session whose server, or name server, stops answering: the
  # session is given up at once over every protocol and the program ends cleanly. A row: the
  # protocol, the server's mode, and the line of its transcript that shows the phase is reached.
  sandbox_link ppp0 203.0.113.45 203.0.113.1
  silent_name_server
  for row in "ftp lookup QUERY" "ftp silent CONNECT" "ftps stall-tls <- AUTH" \
    "sftp stall-ssh CONNECT" "ftp stall-stor <- STOR" "ftp stall-226 -- 226 withheld" \
    "ftp stall-quit <- QUIT"; do
    read -r protocol mode marker <<<"$row"
    transcript=$work/transcript-$mode server=ftp.example.net
    if [[ $mode == lookup ]]; then
      transcript=$work/queries
    else
      sandbox_ftp_start "$served" "$user" "$password" "$mode" "$transcript"
      server=127.0.0.1:$SANDBOX_FTP_PORT
    fi
    settings 21 1
    "$bin/orvane-config" set "$app/orvane.ini" --server "$server" --protocol "$protocol" >/dev/null
    start_orvane
    check "$mode: the phase is reached" sandbox_wait_for 20 grep -qF -- "$marker" "$transcript"
    sleep 0.5
    ends_cleanly 1 "$mode: "
    check "$mode: no failure is logged for the cancelled session" \
      bash -c '! grep -qs fallit "$1"' _ "$app/orvane.log"
    rm -f "$app/orvane.log"
    [[ $mode == lookup ]] && continue
    kill "$SANDBOX_FTP_PID"
    wait "$SANDBOX_FTP_PID" 2>/dev/null
  done
  ;;
early-signal)
  # SIGTERM while the program is still starting: whenever it lands, nothing stays behind.
  sandbox_link ppp0 203.0.113.45 203.0.113.1
  settings 21 300
  for delay in 0 0.02 0.05 0.1 0.2 0.4; do
    start_orvane
    sleep "$delay"
    # Until the program is loaded the signal's own action may end it (128 + 15); later it is
    # the program's close.
    statuses='0|143'
    [[ $delay == 0.[24] ]] && statuses=0
    check "SIGTERM after ${delay}s ends it with status $statuses" ends_with TERM "$statuses" 5
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
  settings "$SANDBOX_FTP_PORT" 1
  sed -i 's/^RASDIAL=.*/RASDIAL=Mobile/' "$app/orvane.ini"
  mkdir -p "$work/home"
  chown -R nobody "$app" "$work/home"
  chmod 755 "$work"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work/home"
    DBUS_SYSTEM_BUS_ADDRESS="$SANDBOX_NM_BUS")
  start_orvane
  check "the dial-up connection's address is published, not the VPN's" \
    sandbox_wait_for 20 grep -qs 'IP:   203.0.113.77' "$served/ip.txt"
  ends_cleanly
  ;;
closing-dial)
  # A pppd that never detaches: SIGTERM during the dial stops it and ends orvane at once.
  mkdir -p "$work/bin"
  printf '#!/bin/sh\necho $$ >"%s"\nexec sleep 600\n' "$work/pppd.pid" >"$work/bin/pppd"
  chmod +x "$work/bin/pppd"
  settings 21 1
  sed -i 's/^RASDIAL=.*/RASDIAL=Ufficio/' "$app/orvane.ini"
  PATH=$work/bin:$PATH start_orvane
  check "the dial has started" sandbox_wait_for 20 test -s "$work/pppd.pid"
  sleep 0.3
  ends_cleanly 1
  check "the pppd it started is stopped" sandbox_wait_for 5 \
    bash -c '[[ ! -d /proc/$1 || $(cut -d" " -f3 /proc/$1/stat) == Z ]]' _ "$(cat "$work/pppd.pid")"
  check "nothing about the dial is logged" bash -c '! grep -q "Connessione Internet" "$1" 2>/dev/null' _ "$app/orvane.log"
  ;;
command-line)
  # The last row, no option without a display, leaves its message for the one-line check.
  for row in "--help 0 stdout Usage:" "--version 0 stdout orvane" "--bogus 2 stderr --bogus" \
    "--headless=x 2 stderr Usage:" "- 1 stderr --headless"; do
    read -r option expected stream text <<<"$row"
    args=("$option") && [[ $option == - ]] && args=()
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/orvane" "${args[@]}" >"$work/stdout" 2>"$work/stderr"
    status=$?
    check "$option exits with $expected ($status) without a display" test "$status" -eq "$expected"
    check "$option prints $text" grep -q -- "$text" "$work/$stream"
  done
  check "without a display and options it says so in one line" test "$(wc -l <"$work/stderr")" -eq 1
  ;;
headless)
  # Installed as a package is: no settings beside the program, the user's own folders.
  online normal
  home=$work/home
  program=$work/usr/bin
  mkdir -p "$home" "$program" "$work/run" "$work/usr/lib/orvane"
  cp "$bin/orvane" "$bin/orvane-config" "$program/"
  cp "$bin/orvane-transfer" "$work/usr/lib/orvane/"
  printf '%s\n' "$password" | HOME=$home "$program/orvane-config" write --server \
    "127.0.0.1:$SANDBOX_FTP_PORT" --user "$user" --path / --file ip.txt --interval 600 --first 1 \
    >/dev/null
  notify_listen
  state=$home/.local/state/orvane
  : >"$work/stderr"
  HOME=$home XDG_RUNTIME_DIR=$work/run NOTIFY_SOCKET=$work/notify.sock WATCHDOG_USEC=1000000 \
    JOURNAL_STREAM=$(stat -c %d:%i "$work/stderr") start env -u DISPLAY "$program/orvane" --headless
  check "it tells the manager it is ready" sandbox_wait_for 10 notified READY=1
  check "the status after a publication" sandbox_wait_for 20 notified "STATUS=Online 203.0.113.45 (non pubblico)"
  check "the status line goes to the journal with its priority" \
    grep -qx "<6>Online 203.0.113.45 (non pubblico)" "$work/stderr"
  rm -f "$served/ip.txt"
  kill -USR1 "$orvane_pid"
  check "SIGUSR1 publishes again" sandbox_wait_for 10 test -f "$served/ip.txt"
  check "and the status follows" sandbox_wait_for 5 notified "STATUS=Online 203.0.113.45 (non pubblico)" 2
  sandbox_wait_for 5 notified WATCHDOG=1 5
  check "the watchdog is fed every half second" watchdog_steady
  check "SIGTERM ends it with status 0 within a second" ends_with TERM 0 1
  check "it said it was stopping" notified STOPPING=1
  check "no library file or ip.txt is left" \
    test -z "$(find "$work/run" "$state" "$program" -name raradozo.so -o -name ip.txt)"
  ;;
hostile-files)
  # What the surroundings may hand the program: standard streams closed, FIFOs at the log's and
  # the lock's names, a settings folder others may write to, watchdog intervals out of bounds.
  online normal
  settings "$SANDBOX_FTP_PORT" 1
  "$app/orvane" --headless >&- 2>&- &
  orvane_pid=$!
  check "streams closed: the first cycle publishes" sandbox_wait_for 20 test -f "$served/ip.txt"
  rm -f "$served/ip.txt"
  kill -USR1 "$orvane_pid"
  check "streams closed: it publishes again on SIGUSR1" sandbox_wait_for 10 test -f "$served/ip.txt"
  ends_cleanly 1 "streams closed: "
  rm "$app/orvane.log" && mkfifo "$app/orvane.log"
  : >"$work/stderr"
  JOURNAL_STREAM=$(stat -c %d:%i "$work/stderr") start "$app/orvane" --headless
  check "a FIFO as the log: the cycle ends in an error, to the journal as one" \
    sandbox_wait_for 20 grep -qx "<3>Errore #75 203.0.113.45 (non pubblico)" "$work/stderr"
  check "a FIFO as the log: the cause goes to the journal as an error" \
    grep -q "^<3>Errore di run-time 75: .*orvane.log" "$work/stderr"
  ends_cleanly 1 "a FIFO as the log: "
  rm "$app/orvane.log" "$app/.orvane.lock" && mkfifo "$app/.orvane.lock"
  timeout -k 1 10 "$app/orvane" --headless 2>"$work/stderr"
  check "a FIFO as the lock: start-up fails at once" test $? -eq 1
  check "a FIFO as the lock: the error names it" grep -q "/.orvane.lock" "$work/stderr"
  rm "$app/.orvane.lock"
  mkdir -p "$work/home" "$work/usr/bin"
  cp "$bin/orvane" "$bin/orvane-config" "$work/usr/bin/"
  printf '%s\n' "$password" | HOME=$work/home "$work/usr/bin/orvane-config" write --server h \
    --user u --path / --file ip.txt >/dev/null
  chmod 777 "$work/home/.config/orvane"
  HOME=$work/home timeout -k 1 10 "$work/usr/bin/orvane" --headless 2>"$work/stderr"
  check "a settings folder others may write to: start-up fails" test $? -eq 1
  check "a settings folder others may write to: the error names it" \
    grep -q "$work/home/.config/orvane:" "$work/stderr"
  notify_listen
  NOTIFY_SOCKET=$work/notify.sock WATCHDOG_USEC=1 start "$app/orvane" --headless
  check "WATCHDOG_USEC=1: ready" sandbox_wait_for 10 notified READY=1
  sleep 2
  check "WATCHDOG_USEC=1: at most two pings a second" test "$(grep -c ' WATCHDOG=1$' "$work/notify")" -le 6
  ends_cleanly 1 "WATCHDOG_USEC=1: "
  NOTIFY_SOCKET=$work/notify.sock WATCHDOG_USEC=18446744073709551615 start "$app/orvane" --headless
  check "a huge WATCHDOG_USEC: ready" sandbox_wait_for 10 notified READY=1 2
  check "a huge WATCHDOG_USEC: no timer warning" bash -c '! grep -qi timer "$1"' _ "$work/stderr"
  ends_cleanly 1 "a huge WATCHDOG_USEC: "
  ;;
address-change)
  # INTERVAL 600: the link's address replaced is published within 2 s, once; another interface's
  # change publishes nothing. With CHECKIP the file carries what that service answers.
  sandbox_link ppp0 203.0.113.45 203.0.113.1
  sandbox_ftp_start "$served" "$user" "$password" normal "$work/transcript"
  stores() { grep -c " <- STOR" "$work/transcript"; }
  settings "$SANDBOX_FTP_PORT" 1
  start_orvane
  check "the first cycle publishes the link's address" \
    sandbox_wait_for 20 grep -qs "IP:   203.0.113.45" "$served/ip.txt"
  check "the unreachable address is said on standard error" \
    sandbox_wait_for 5 grep -q "203.0.113.45 is private, shared or reserved" "$work/stderr"
  sleep 1
  ip addr del 203.0.113.45 peer 203.0.113.1 dev ppp0
  ip addr add 203.0.113.46 peer 203.0.113.1 dev ppp0
  check "the new address is published within 2 s" \
    sandbox_wait_for 2 grep -qs "IP:   203.0.113.46" "$served/ip.txt"
  sleep 1.5
  check "once" test "$(stores)" -eq 2
  ip tuntap add dev tunvpn mode tun
  ip addr add 10.8.0.2 peer 10.8.0.1 dev tunvpn
  ip link set tunvpn up
  ip addr add 10.8.0.3 dev tunvpn
  sleep 1.5
  check "another interface's change publishes nothing" test "$(stores)" -eq 2
  ends_cleanly 1
  # A public-address service on loopback whose authority the system trusts, in this namespace.
  mkfifo "$work/https.in"
  exec 7<>"$work/https.in"
  mkdir "$work/tls"
  /usr/bin/python3 "$SANDBOX_ROOT/tests/support/https_server.py" --tls-dir "$work/tls" \
    --mode plain <&7 >"$work/https.out" 2>/dev/null &
  helper_pids+=($!)
  sandbox_wait_for 20 grep -q '^PORT ' "$work/https.out"
  mount --bind "$work/tls/ca.pem" /etc/ssl/certs/ca-certificates.crt
  "$bin/orvane-config" set "$app/orvane.ini" \
    --checkip "https://127.0.0.1:$(sed -n 's/^PORT //p' "$work/https.out")/" >/dev/null
  start_orvane
  check "with CHECKIP the file carries the service's answer" \
    sandbox_wait_for 20 grep -qs "IP:   198.51.100.77" "$served/ip.txt"
  ends_cleanly 1
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
