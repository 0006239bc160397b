#!/usr/bin/env bash
# vfris in a real terminal (tmux, 80 x 25) when the update cannot be done:
# a missing archive (its two messages, unzip.exe still runs, then "Nincs
# mind:"), no server listening and a refused login ("Nincs kapcsolat!"), and
# a server that stops sending in the middle of the archive or closes the
# data connection early ("A másolás nem sikerült!" within the stall time-out,
# and the run goes on). Every run still ends with exit code 0.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BIN=${BIN:-$HERE/../../build/bin}
SRC=${SRC:-$HERE/../..}
WORK=$(mktemp -d)
BASE_SOCK=vff$$
SOCK=$BASE_SOCK.0
RUNS=0
SERVER_PID=
STALL_SECONDS=15  # the program's stall time-out
stop_server() {
  if [ -n "$SERVER_PID" ]; then kill "$SERVER_PID" 2>/dev/null || true; wait "$SERVER_PID" 2>/dev/null || true; fi
  SERVER_PID=
}
cleanup() {
  tmux -L $SOCK kill-server 2>/dev/null || true
  stop_server
  rm -rf "$WORK"
}
trap cleanup EXIT

source "$HERE/lib/tmux.sh"
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

start_server() {
  stop_server
  rm -f "$WORK/port"
  /usr/bin/python3 "$SRC/scripts/ftp_server.py" --root "$WORK/srv" "$@" > "$WORK/port" &
  SERVER_PID=$!
  wait_for '[ -s "$WORK/port" ]' 10 || { echo "FAIL: the FTP server did not start" >&2; exit 1; }
  PORT=$(awk '{print $2}' "$WORK/port")
}

run() {  # run: vfris in a fresh session, answered "Igen"
  rm -rf "$WORK/rc" "$WORK/unzip.ran" "$WORK/tmp"
  mkdir -p "$WORK/tmp"
  cat > "$WORK/run.sh" <<EOF
export VFRIS_SERVER=127.0.0.1:$PORT TMPDIR='$WORK/tmp' UNZIP_MARKER='$WORK/unzip.ran'
'$BIN/vfris'
echo \$? > '$WORK/rc'
sleep 60
EOF
  # A fresh tmux server per run: a server still going away after kill-server
  # must not take the new session with it.
  tmux -L $SOCK kill-server 2>/dev/null || true
  RUNS=$((RUNS + 1))
  SOCK=$BASE_SOCK.$RUNS
  tmux -L $SOCK new-session -d -s t -x 80 -y 25 "bash '$WORK/run.sh'"
  wait_for 'shows "indulhat?"' 10 || fail "no question on the screen"
  send i
}

# expect TEXT [SECONDS]: the message box shows TEXT; it is answered with Enter
# and must go away.
expect() {
  wait_for "shows \"$1\"" "${2:-10}" || fail "no message \"$1\""
  send Enter
  wait_for "! shows \"$1\"" 5 || fail "the message \"$1\" stayed"
}

finished() {
  wait_for '[ -s "$WORK/rc" ]' 10 || fail "the program did not end"
  [ "$(cat "$WORK/rc")" = 0 ] || fail "exit code $(cat "$WORK/rc")"
}

# --- The archive is missing ---------------------------------------------------
python3 "$SRC/scripts/ftp_tree.py" "$WORK/srv" --no-archive
start_server
run
wait_for 'shows "Nincs /letolt/domva26/domva.zip!"' 10 || fail "no message about the archive"
row 25 | grep -qF " Letöltés ........ " || fail "the status line is not Letöltés"
send Enter
expect "A másolás nem sikerült!"
wait_for 'shows "Nincs mind:lunemind.zip unzip.exe frissit.exe"' 10 || fail "no Nincs mind message"
[ -f "$WORK/unzip.ran" ] || fail "unzip.exe did not run before the Nincs mind message"
send Enter
finished
[ ! -e "$WORK/tmp/\$TEMPRGR/domva.zip" ] || fail "a domva.zip was left"

# --- Nobody listens, and a refused login --------------------------------------
python3 "$SRC/scripts/ftp_tree.py" "$WORK/srv"
stop_server
PORT=$(free_port)
for case in nobody password; do
  if [ $case = password ]; then start_server --password nem-az; fi
  run
  wait_for 'shows "Nincs kapcsolat!"' 15 || fail "$case: no Nincs kapcsolat! for the archive"
  row 25 | grep -qF " 127.0.0.1 ... " || fail "$case: the status line does not name the server"
  send Enter
  # And again for unzip.exe (with nobody listening it comes at once).
  sleep 0.5
  wait_for 'shows "Nincs kapcsolat!"' 15 || fail "$case: no Nincs kapcsolat! for unzip.exe"
  ! shows "Nincs mind" || fail "$case: only one Nincs kapcsolat!"
  send Enter
  expect "Nincs mind:lunemind.zip unzip.exe frissit.exe"
  finished
  [ ! -e "$WORK/unzip.ran" ] || fail "$case: unzip.exe ran without being fetched"
done

# --- The server fails in the middle of the archive ----------------------------
for mode in stall close; do
  start_server --mode $mode --only domva.zip --after 300
  run
  started=$(date +%s)
  wait_for 'shows "A másolás nem sikerült!"' $((STALL_SECONDS + 10)) || fail "$mode: no failure message"
  took=$(( $(date +%s) - started ))
  echo "$mode: reported after $took s"
  [ $took -le $((STALL_SECONDS + 3)) ] || fail "$mode: the failure took $took s"
  if [ $mode = close ] && [ $took -gt 5 ]; then fail "close: the failure took $took s"; fi
  send Enter
  # The run goes on: unzip.exe arrives and runs, the archive is not there.
  wait_for 'shows "Nincs mind:lunemind.zip unzip.exe frissit.exe"' 15 || fail "$mode: the run did not go on"
  [ -f "$WORK/unzip.ran" ] || fail "$mode: unzip.exe did not run"
  [ ! -e "$WORK/tmp/\$TEMPRGR/domva.zip" ] || fail "$mode: a partial domva.zip was left"
  send Enter
  finished
done
echo "vfris_failures: all checks passed"
