#!/usr/bin/env bash
# The demonstration of vfris: a local FTP server (pyftpdlib) on a free
# loopback port serving a made-up update (unzip.exe, which calls the system's
# unzip, and domva.zip, which holds lunemind.zip and a frissit.exe that says
# the update is done), and vfris run in this terminal against it. The server
# is stopped and the scratch folder removed afterwards.
#
#   scripts/demo.sh [BIN]     BIN: the folder of the built programs (build/bin)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN=${1:-${BIN:-$ROOT/build/bin}}
if [ ! -x "$BIN/vfris" ]; then
  echo "No $BIN/vfris: build first (./run build)." >&2
  exit 1
fi
if [ ! -t 0 ] || [ ! -t 1 ]; then
  echo "The demo is a full-screen terminal program: run it in a terminal (80 x 25)."
  exit 0
fi

DEMO=$(mktemp -d "${TMPDIR:-/tmp}/vfris-demo.XXXXXX")
SERVER_PID=
cleanup() {
  if [ -n "$SERVER_PID" ]; then
    kill "$SERVER_PID" 2>/dev/null || true
    wait "$SERVER_PID" 2>/dev/null || true
  fi
  rm -rf "$DEMO"
}
trap cleanup EXIT

/usr/bin/python3 "$ROOT/scripts/ftp_tree.py" "$DEMO/server"
/usr/bin/python3 "$ROOT/scripts/ftp_server.py" --root "$DEMO/server" > "$DEMO/port" &
SERVER_PID=$!
for _ in $(seq 1 100); do
  [ -s "$DEMO/port" ] && break
  sleep 0.05
done
[ -s "$DEMO/port" ] || { echo "The demonstration FTP server did not start." >&2; exit 1; }
PORT=$(awk '{print $2}' "$DEMO/port")
mkdir -p "$DEMO/tmp"

echo "vfris demonstration"
echo "  update server : ftp://127.0.0.1:$PORT (pyftpdlib, user vantor) serving $DEMO/server"
echo "  temporary dir : $DEMO/tmp (the work folder \$TEMPRGR is made there)"
echo "Answer Igen (I or Enter) to download, unpack and start frissit.exe, Nem (N) to leave."
sleep 2

set +e
VFRIS_SERVER=127.0.0.1:$PORT TMPDIR="$DEMO/tmp" "$BIN/vfris"
code=$?
set -e

echo
echo "vfris ended with exit code $code."
if [ -d "$DEMO/tmp/\$TEMPRGR" ]; then
  echo "The work folder $DEMO/tmp/\$TEMPRGR held:"
  ls -l "$DEMO/tmp/\$TEMPRGR" | sed 1d | sed 's/^/  /'
else
  echo "No work folder was made (the answer was Nem)."
fi
exit $code
