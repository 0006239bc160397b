#!/usr/bin/env bash
# keycodes in a real terminal (tmux, 80 x 25): every key of the system's key
# table arrives with its key code, Ctrl+C does not end the program, a mouse
# click is shown, the terminal mode is the same after the program as before
# (also when it is ended by SIGTERM), and box and DOS glyph bytes are drawn
# as their characters.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BIN=${BIN:-$HERE/../../build/bin}
WORK=$(mktemp -d)
SOCK=vkc$$
trap 'tmux -L $SOCK kill-server 2>/dev/null || true; rm -rf "$WORK"' EXIT

source "$HERE/lib/tmux.sh"

start() {  # start TERM LOG
  local term=$1 log=$2
  rm -f "$WORK/before" "$WORK/after" "$WORK/rc"
  fresh_session "export TERM=$term; stty -g > $WORK/before; $BIN/keycodes --log $log; echo \$? > $WORK/rc; stty -g > $WORK/after; sleep 600"
  wait_for "shows Esc" 10 || fail "keycodes did not start"
}

# Keys go one at a time, each given time to arrive alone.
send() { tmux -L "$SOCK" send-keys -t t "$@"; sleep 0.15; }

# name  tmux-key  expected-code
KEYS=(
  F1 187 F2 188 F3 189 F4 190 F5 191 F6 192 F7 193 F8 194 F9 195 F10 196
  S-F1 212 S-F2 213 S-F5 216 S-F10 221
  C-F1 222 C-F2 223 C-F5 226 C-F10 231
  M-F1 132 M-F2 133 M-F5 136 M-F10 141
  Up 200 Down 208 Left 203 Right 205
  C-Left 243 C-Right 244 C-Home 247 C-NPage 246
  Home 199 End 207 PPage 201 NPage 209 IC 210 DC 211
  M-q 144 M-w 145 M-a 158 M-m 178 M-z 172
  M-1 250 M-2 251 M-3 252 M-4 253 M-5 254
  BTab 143 C-v 242 C-c 241 a 97 Enter 13 Tab 9 BSpace 8
)

for term in xterm-256color screen; do
  LOG=$WORK/log-$term
  start $term "$LOG"
  expected=()
  for ((i = 0; i < ${#KEYS[@]}; i += 2)); do
    send "${KEYS[i]}"
    expected+=("${KEYS[i+1]}")
  done
  send -l 'ő'
  expected+=(139)
  # A left click at column 10, row 5 (1-based in the report).
  send -l $'\e[<0;10;5M'
  send -l $'\e[<0;10;5m'
  expected+=(0 0)
  sleep 0.3
  screen=$(screen)
  echo "$screen" | grep -q 'bal' || fail "$term: the mouse click is not shown"
  echo "$screen" | grep -q 'oszlop 10' || fail "$term: the mouse column is wrong"
  echo "$screen" | grep -q 'sor 5' || fail "$term: the mouse row is wrong"
  echo "$screen" | grep -q '╔' || fail "$term: box-drawing bytes are not drawn as box characters"
  echo "$screen" | grep -q '►' || fail "$term: DOS glyph bytes are not drawn as their glyphs"
  [ -f "$WORK/rc" ] && fail "$term: the program ended before Esc Esc (Ctrl+C must not end it)"

  got=($(cut -d' ' -f1 "$LOG"))
  [ "${#got[@]}" -eq "${#expected[@]}" ] || fail "$term: ${#got[@]} events logged, ${#expected[@]} expected: ${got[*]}"
  for ((i = 0; i < ${#expected[@]}; i++)); do
    [ "${got[i]}" = "${expected[i]}" ] || fail "$term: event $i: code ${got[i]}, expected ${expected[i]} (log line: $(sed -n "$((i+1))p" "$LOG"))"
  done
  grep -q '^241 03$' "$LOG" || fail "$term: Ctrl+C is not logged as 241 with the byte 03"

  send Escape
  send Escape
  wait_for "[ -f $WORK/rc ]" 10 || fail "$term: Esc Esc did not end the program"
  [ "$(cat $WORK/rc)" = 0 ] || fail "$term: exit code $(cat $WORK/rc)"
  wait_for "[ -s $WORK/after ]" 10 || fail "no stty after"
  cmp -s "$WORK/before" "$WORK/after" || fail "$term: terminal mode not restored"
done

# Ended by a signal: the terminal mode is put back all the same, and the
# shell's screen is shown again (the alternate screen was left).
for sig in TERM HUP QUIT SEGV; do
  start xterm-256color "$WORK/log-$sig"
  pid=$(pgrep -f "^$BIN/keycodes --log $WORK/log-$sig" | head -1)
  [ -n "$pid" ] || fail "no keycodes process"
  kill -$sig "$pid"
  wait_for "[ -s $WORK/after ]" 10 || fail "SIG$sig: the shell did not go on"
  cmp -s "$WORK/before" "$WORK/after" || fail "SIG$sig: terminal mode not restored"
  screen | grep -q Esc && fail "SIG$sig: the program's screen is still shown"
done
echo "keycodes e2e: ok"
