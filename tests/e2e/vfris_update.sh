#!/usr/bin/env bash
# vfris in a real terminal (tmux, 80 x 25) against a real FTP server on a free
# loopback port: the title screen and the question; "Igen" fetches and
# unpacks the archive, starts frissit.exe in the work folder under TMPDIR,
# and ends with exit code 0 in the program's folder; "Nem" creates nothing;
# a renamed copy ("vfris 1234 (2)") and a link named vfris1234 fetch from
# the same client folder, the second run in the same temporary folder too.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BIN=${BIN:-$HERE/../../build/bin}
SRC=${SRC:-$HERE/../..}
WORK=$(mktemp -d)
BASE_SOCK=vfu$$
SOCK=$BASE_SOCK.0
RUNS=0
SERVER_PID=
cleanup() {
  tmux -L $SOCK kill-server 2>/dev/null || true
  [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null || true
  [ -n "${KEEP:-}" ] || rm -rf "$WORK"
}
trap cleanup EXIT

source "$HERE/lib/tmux.sh"

start_server() {
  /usr/bin/python3 "$SRC/scripts/ftp_server.py" --root "$WORK/srv" "$@" > "$WORK/port" &
  SERVER_PID=$!
  wait_for '[ -s "$WORK/port" ]' 10 || { echo "FAIL: the FTP server did not start" >&2; exit 1; }
  PORT=$(awk '{print $2}' "$WORK/port")
}

# run PROGRAM TMPDIR: starts the program in a fresh tmux session; its exit
# code goes to $WORK/rc, and (when strace is there) its folder changes to
# $WORK/chdirs.
run() {
  local prog=$1 tmp=$2 trace=""
  rm -f "$WORK/rc" "$WORK/chdirs" "$WORK/unzip.ran" "$WORK/frissit.ran"
  # LeakSanitizer cannot work under ptrace: leaks are left to the unit tests.
  command -v strace >/dev/null &&
    trace="ASAN_OPTIONS=detect_leaks=0 strace -qq -e trace=chdir,fchdir -o '$WORK/chdirs'"
  cat > "$WORK/run.sh" <<EOF
cd '$WORK'
export VFRIS_SERVER=127.0.0.1:$PORT TMPDIR='$tmp' UNZIP_MARKER='$WORK/unzip.ran' FRISSIT_MARKER='$WORK/frissit.ran'
env $trace '$prog'
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
}

finished() { wait_for '[ -s "$WORK/rc" ]' "${1:-10}" || fail "the program did not end"; }

# The last folder the program itself changed to (strace's first process is it).
last_chdir() {
  python3 - "$WORK/chdirs" <<'EOF'
import re, sys
lines = open(sys.argv[1]).read().splitlines()
main = lines[0].split()[0] if lines and lines[0].split()[0].isdigit() else None
last = ""
for line in lines:
    m = re.match(r'(?:(\d+)\s+)?chdir\("(.*)"\)\s+=\s+0', line)
    if m and (m.group(1) in (None, main)):
        last = m.group(2)
print(last)
EOF
}

python3 "$SRC/scripts/ftp_tree.py" "$WORK/srv" --client 1234
start_server

# --- Igen ------------------------------------------------------------------
mkdir -p "$WORK/tmp1"
run "$BIN/vfris" "$WORK/tmp1"
SHADE80=$(printf '░%.0s' $(seq 1 80))
[ "$(row 1)" = "$SHADE80" ] || fail "row 1 is not the shaded background"
[ "$(row 2)" = "╔$(printf '═%.0s' $(seq 1 78))╗" ] || fail "row 2 is not the background frame"
[ "$(row 3)" = "║$(printf '░%.0s' $(seq 1 78))║" ] || fail "row 3 is not the shaded inside"
[ "$(row 6)" = "║░░░░░░░░╔$(printf '═%.0s' $(seq 1 59))╗░░░░░░░░░║" ] || fail "row 6: not the box's top"
[ "$(row 7)" = "║░░░░░░░░║Vantor-kettős könyvelés  programfrissítés 2026             ║░░░░░░░░░║" ] ||
  fail "row 7: not the title"
[ "$(row 8)" = "║░░░░░░░░║$(printf '=%.0s' $(seq 1 46))             ║░░░░░░░░░║" ] || fail "row 8: not the rule"
[ "$(row 12)" = "║░░░░░░░║Program-frissítő letöltése, majd a programfrissítés indulhat?║░░░░░░░░║" ] ||
  fail "row 12: not the question"
row 14 | grep -qF "Igen ▄   Nem  ▄" || fail "row 14: not the two buttons"
[ "$(row 19)" = "║░░░░░░░░╚$(printf '═%.0s' $(seq 1 59))╝░░░░░░░░░║" ] || fail "row 19: not the box's bottom"
[ "$(row 24)" = "╚$(printf '═%.0s' $(seq 1 78))╝" ] || fail "row 24 is not the background frame"
[ "$(row 25)" = "$SHADE80" ] || fail "row 25 is not the shaded background"

send i
wait_for 'shows "A programfrissítés befejeződött"' 15 || fail "frissit.exe did not start"
[ "$(cat "$WORK/frissit.ran")" = "$WORK/tmp1/\$TEMPRGR" ] || fail "frissit.exe ran in $(cat "$WORK/frissit.ran")"
[ "$(cat "$WORK/unzip.ran")" = "$WORK/tmp1/\$TEMPRGR" ] || fail "unzip.exe ran elsewhere"
send Enter
finished
[ "$(cat "$WORK/rc")" = 0 ] || fail "exit code $(cat "$WORK/rc")"
for f in lunemind.zip unzip.exe frissit.exe; do
  [ -f "$WORK/tmp1/\$TEMPRGR/$f" ] || fail "$f is not in the work folder"
done
[ ! -e "$WORK/tmp1/\$TEMPRGR/domva.zip" ] || fail "the archive was left behind"
if [ -f "$WORK/chdirs" ]; then
  [ "$(last_chdir)" = "$BIN" ] || [ "$(last_chdir)" = "$(cd "$BIN" && pwd -P)" ] ||
    fail "the program ended in $(last_chdir), not in its own folder"
else
  echo "note: no strace, the folder at exit is not checked"
fi

# --- Nem -------------------------------------------------------------------
mkdir -p "$WORK/tmp2"
run "$BIN/vfris" "$WORK/tmp2"
send n
finished
[ "$(cat "$WORK/rc")" = 0 ] || fail "exit code $(cat "$WORK/rc") after Nem"
[ -z "$(ls -A "$WORK/tmp2")" ] || fail "Nem created files: $(ls -A "$WORK/tmp2")"
[ ! -e "$WORK/unzip.ran" ] || fail "Nem ran unzip.exe"
[ "$(ls "$WORK/srv/letolt")" = "$(printf 'domva26\nugy26\nunzip.exe')" ] || fail "the served tree changed"
! shows "Nincs" || fail "a message after Nem"
if [ -f "$WORK/chdirs" ] && [ -n "$(last_chdir)" ]; then fail "Nem changed folder to $(last_chdir)"; fi

# --- A renamed copy and a link, twice in the same temporary folder ----------
rm "$WORK/srv/letolt/domva26/domva.zip"  # only the client folder has an archive now
mkdir -p "$WORK/prog" "$WORK/tmp3"
cp "$BIN/vfris" "$WORK/prog/vfris 1234 (2)"
ln -s "$BIN/vfris" "$WORK/prog/vfris1234"
for name in "vfris 1234 (2)" "vfris1234"; do
  run "$WORK/prog/$name" "$WORK/tmp3"
  send i
  wait_for 'shows "A programfrissítés befejeződött"' 15 || fail "$name: frissit.exe did not start"
  [ "$(cat "$WORK/frissit.ran")" = "$WORK/tmp3/\$TEMPRGR" ] || fail "$name: frissit.exe ran elsewhere"
  send Enter
  finished
  [ "$(cat "$WORK/rc")" = 0 ] || fail "$name: exit code $(cat "$WORK/rc")"
  if [ -f "$WORK/chdirs" ]; then
    [ "$(last_chdir)" = "$WORK/prog" ] || fail "$name ended in $(last_chdir)"
  fi
done
echo "vfris_update: all checks passed"
