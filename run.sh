#!/usr/bin/env bash
# Installs what is missing, builds Tarnwick and starts it on the demo instance folder, with a
# local POP3 server (Dovecot) and SMTP server (aiosmtpd) on loopback that its settings point at,
# a sample CSV waiting to be sent to the demo mailbox and received back, and a small local web
# site that the demo's interval script logs into.
# Arguments are passed on to the robot (for example --headless or --once).
set -euo pipefail
cd "$(dirname "$0")"

# The demo's own build folder: ./test.sh builds in build/ with the tests, and neither may
# inherit the other's cached options.
BUILD=build-run
for arg in "$@"; do
  case "$arg" in
    --) break ;;
    -h|--help)
      cat <<'EOF_HELP'
Usage: ./run.sh [ROBOT OPTION...]
Installs what is missing, builds the robot in build-run/, starts the demo mail servers on
loopback and the robot on the demo instance folder ./demo (or $TARNWICK_HOME).
The options go to the robot, for example --headless or --once.
EOF_HELP
      if [ -x "$BUILD/tarnwick" ]; then
        echo
        "$BUILD/tarnwick" --help
      else
        echo "The robot's own options: $BUILD/tarnwick --help (after the first ./run.sh)."
      fi
      exit 0 ;;
  esac
done

bash scripts/setup.sh
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF -DTARNWICK_SANITIZE=OFF
cmake --build "$BUILD" -j"$(nproc)" --target tarnwick
DEMO_HOME="${TARNWICK_HOME:-$PWD/demo}"
mkdir -p "$DEMO_HOME"
DEMO_HOME="$(cd "$DEMO_HOME" && pwd)"

# The demo's mail and web servers live in the instance folder and end with this script.
PEERS_PID=""
WEB_PID=""
stop_peers() {
  if [ -n "$PEERS_PID" ] && kill -0 "$PEERS_PID" 2>/dev/null; then
    kill -TERM "$PEERS_PID" 2>/dev/null || true
    wait "$PEERS_PID" 2>/dev/null || true
  fi
  if [ -n "$WEB_PID" ] && kill -0 "$WEB_PID" 2>/dev/null; then
    kill -TERM "$WEB_PID" 2>/dev/null || true
    wait "$WEB_PID" 2>/dev/null || true
  fi
}
trap stop_peers EXIT

PEERS_DIR="$DEMO_HOME/mailserver"
mkdir -p "$PEERS_DIR"
PORTS_FILE="$PEERS_DIR/ports"
rm -f "$PORTS_FILE"
/usr/bin/python3 scripts/mail_peers.py --dir "$PEERS_DIR" --user robot --password secret --until-signal \
  </dev/null >"$PORTS_FILE" &
PEERS_PID=$!
for _ in $(seq 1 300); do
  [ -s "$PORTS_FILE" ] && break
  kill -0 "$PEERS_PID" 2>/dev/null || break
  sleep 0.1
done
read -r POP_PORT SMTP_PORT REST <"$PORTS_FILE" || true
if [ "${POP_PORT:-0}" = "0" ]; then
  echo "The demo mail servers did not start: ${REST:-see $PEERS_DIR/dovecot.log}" >&2
  exit 1
fi
echo "Demo mail servers on 127.0.0.1: POP3 port $POP_PORT, SMTP port $SMTP_PORT (mailbox robot / secret)"

WEB_PORT_FILE="$PEERS_DIR/web-port"
rm -f "$WEB_PORT_FILE"
/usr/bin/python3 scripts/web_pages.py </dev/null >"$WEB_PORT_FILE" &
WEB_PID=$!
for _ in $(seq 1 100); do
  [ -s "$WEB_PORT_FILE" ] && break
  kill -0 "$WEB_PID" 2>/dev/null || break
  sleep 0.1
done
read -r WEB_PORT <"$WEB_PORT_FILE" || true
echo "Demo web site on http://127.0.0.1:${WEB_PORT:-?}/login-form.html"

if /usr/bin/python3 scripts/demo_setup.py "$DEMO_HOME" "$POP_PORT" "$SMTP_PORT" "${WEB_PORT:-0}"; then
  echo secret | "./$BUILD/tarnwick" --home "$DEMO_HOME" --set-password >/dev/null
else
  # Not a demo configuration: the robot talks to the servers its settings name.
  stop_peers
  PEERS_PID=""
fi

echo "Starting Tarnwick on the instance folder $DEMO_HOME"
set +e
"./$BUILD/tarnwick" --home "$DEMO_HOME" "$@"
status=$?
set -e
exit $status
