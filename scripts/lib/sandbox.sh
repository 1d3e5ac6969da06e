# Shared by scripts/demo and the end-to-end and package tests: a private network namespace with
# a point-to-point link standing for the dial-up connection (or a stand-in NetworkManager), a
# local FTP server, an application folder with orvane and its settings, and the tests' check.
# Source it; every function but check is sandbox_*.

SANDBOX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
SANDBOX_FTP_SCRIPT=$SANDBOX_ROOT/tests/support/ftp_server.py

sandbox_say() { printf '%s\n' "$*" >&2; }

# Re-runs the calling script inside new network and mount namespaces (root only), with a
# /run of its own: pid files stay private and the machine's system bus is out of reach.
# Usage: sandbox_enter "$0" "$@"  (returns only inside the namespaces)
sandbox_enter() {
  if [[ ${ORVANE_SANDBOX:-} == 1 ]]; then return 0; fi
  export ORVANE_SANDBOX=1
  exec unshare --net --mount --propagation private --fork -- \
    bash -c 'mount -t tmpfs -o mode=0755 tmpfs /run && exec "$@"' sandbox "$@"
}

# A tun link with a local address and a peer, up, owned as pppd owns its links: a stand-in
# pppd (a process that ends with the calling script) named in /run/NAME.pid.
sandbox_link() {
  local name=$1 address=$2 peer=$3
  ip link set lo up
  ip tuntap add dev "$name" mode tun
  ip addr add "$address" peer "$peer" dev "$name"
  ip link set "$name" up
  setpriv --pdeathsig KILL sleep infinity &
  echo $! >"/run/$name.pid"
}

# Starts the stand-in NetworkManager with a scenario (JSON) on a private bus of its own.
# Sets SANDBOX_NM_PID and SANDBOX_NM_BUS (the bus address).
# Usage: sandbox_network_manager SCENARIO_JSON LOG
sandbox_network_manager() {
  local out
  out=$(mktemp)
  /usr/bin/python3 "$SANDBOX_ROOT/tests/dialup/stand_in_network_manager.py" "$1" "$2" >"$out" &
  SANDBOX_NM_PID=$!
  sandbox_wait_for 20 grep -q '^ADDRESS ' "$out"
  SANDBOX_NM_BUS=$(sed -n 's/^ADDRESS //p' "$out")
  rm -f "$out"
  [[ -n $SANDBOX_NM_BUS ]] || { sandbox_say "the stand-in NetworkManager did not start"; return 1; }
}

# Starts the FTP server on loopback. Sets SANDBOX_FTP_PID and SANDBOX_FTP_PORT. With TLS_DIR, the
# server requires TLS, with a certificate from an authority it makes there (TLS_DIR/ca.pem).
# Usage: sandbox_ftp_start ROOT USER PASSWORD [MODE] [TRANSCRIPT] [TLS_DIR]
sandbox_ftp_start() {
  local root=$1 user=$2 password=$3 mode=${4:-normal} transcript=${5:-/dev/null} tls=${6:-}
  local out
  out=$(mktemp)
  FTP_TEST_PASSWORD=$password /usr/bin/python3 "$SANDBOX_FTP_SCRIPT" --root "$root" \
    --user "$user" --mode "$mode" --transcript "$transcript" --tls-dir "$tls" >"$out" 2>/dev/null &
  SANDBOX_FTP_PID=$!
  for _ in $(seq 100); do
    SANDBOX_FTP_PORT=$(sed -n 's/^PORT \([0-9]*\)$/\1/p' "$out")
    [[ -n $SANDBOX_FTP_PORT ]] && break
    sleep 0.1
  done
  rm -f "$out"
  [[ -n $SANDBOX_FTP_PORT ]] || { sandbox_say "the FTP server did not start"; return 1; }
}

# An application folder: orvane and its transfer helper copied from BIN and a settings file
# written by orvane-config.
# Usage: sandbox_app DIR BIN SERVER USER PASSWORD PATH FILE INTERVAL FIRST [DELAY]
sandbox_app() {
  local dir=$1 bin=$2 server=$3 user=$4 password=$5 path=$6 file=$7 interval=$8 first=$9
  local delay=${10:-0}
  mkdir -p "$dir"
  cp "$bin/orvane" "$bin/orvane-transfer" "$dir/"
  printf '%s\n' "$password" | "$bin/orvane-config" write "$dir/orvane.ini" --server "$server" \
    --user "$user" --path "$path" --file "$file" --interval "$interval" --first "$first" \
    --delay "$delay" >/dev/null
}

# Waits until the command succeeds, at most SECONDS seconds.
# Usage: sandbox_wait_for SECONDS COMMAND...
sandbox_wait_for() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# Runs COMMAND, says "ok: WHAT" or "FAILED: WHAT", and counts the failures in $failures.
# Usage: check WHAT COMMAND...
failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
