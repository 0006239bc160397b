#!/usr/bin/env bash
# uidemo in a real terminal (tmux, 80 x 25): the prompt is answered by its hot
# letter, Enter, Esc, a mouse click on a button and a click on its close box;
# the screen after the dialog is the screen before it; the top window is
# dragged by its top-left corner; a too small terminal gets a notice and the
# screen comes back whole after a resize; the terminal mode is put back at the
# end.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BIN=${BIN:-$HERE/../../build/bin}
WORK=$(mktemp -d)
SOCK=vui$$
LOG=$WORK/log
trap 'tmux -L $SOCK kill-server 2>/dev/null || true; rm -rf "$WORK"' EXIT

source "$HERE/lib/tmux.sh"
answers() { [ -f "$LOG" ] && wc -l < "$LOG" || echo 0; }
# The 1-based column and row of the first occurrence of a text on the screen.
find_text() {
  screen | python3 -c '
import sys
needle = sys.argv[1]
for row, line in enumerate(sys.stdin.read().split("\n"), 1):
    col = line.find(needle)
    if col >= 0:
        print(col + 1, row)
        break
' "$1"
}
# The character at column, row.
char_at() {
  screen | python3 -c '
import sys
lines = sys.stdin.read().split("\n")
c, r = int(sys.argv[1]), int(sys.argv[2])
print(lines[r - 1][c - 1] if r <= len(lines) and c <= len(lines[r - 1]) else "")
' "$1" "$2"
}
click() {  # click COLUMN ROW: press and release, as a terminal sends them
  send -l $'\e[<0;'"$1;$2"'M'
  send -l $'\e[<0;'"$1;$2"'m'
}
# ask KEYS... : opens the prompt, sends the answer, waits for it in the log.
ask() {
  local n
  n=$(answers)
  send p
  wait_for "screen | grep -q 'Menti a'" || fail "the prompt did not open"
  "$@"
  wait_for "[ \$(answers) -gt $n ]" || fail "no answer after: $*"
  wait_for "! screen | grep -q 'Menti a'" || fail "the prompt did not close"
  tail -1 "$LOG" | cut -d' ' -f2
}

tmux -f /dev/null -L $SOCK new-session -d -s t -x 80 -y 25 \
  "export TERM=xterm-256color; stty -g > $WORK/before; $BIN/uidemo --log $LOG; echo \$? > $WORK/rc; stty -g > $WORK/after; sleep 600"
wait_for "screen | grep -q 'Második ablak'" || fail "uidemo did not start"

[ "$(ask send i)" = 1 ] || fail "hot letter i did not answer 1"
before=$(screen)
[ "$(ask send Enter)" = 1 ] || fail "Enter did not answer 1"
[ "$(screen)" = "$before" ] || fail "the screen after the dialog differs from the one before"
[ "$(ask send N)" = 2 ] || fail "hot letter N did not answer 2"
[ "$(ask send Escape)" = 0 ] || fail "Esc did not answer 0"

# Mouse: a click on the "Nem" button, then on the dialog's close box.
click_nem() {
  read -r c r < <(find_text 'Nem ')
  click $((c + 1)) "$r"
}
[ "$(ask click_nem)" = 2 ] || fail "a click on Nem did not answer 2"
sleep 0.3
click_close() {
  read -r c r < <(find_text 'Menti a')
  local top=$((r - 2))
  # Left from the dialog's text along its top row to the frame's corner; the
  # close box follows the corner.
  local x=$c
  while [ "$(char_at $x $top)" != "╔" ]; do x=$((x - 1)); done
  click $((x + 2)) $top
}
[ "$(ask click_close)" = 0 ] || fail "a click on the close box did not answer 0"
sleep 0.3
[ "$(ask send i)" = 1 ] || fail "hot letter after the clicks"
[ "$(screen)" = "$before" ] || fail "the screen after the mouse dialogs differs from the one before"

# Drag the second window by its top-left corner (30, 12) to (20, 5).
[ "$(char_at 30 12)" = "╔" ] || fail "the second window is not where expected"
send -l $'\e[<0;30;12M'
send -l $'\e[<32;25;9M'
send -l $'\e[<32;20;5M'
send -l $'\e[<0;20;5m'
wait_for "[ \"\$(char_at 20 5)\" = '╔' ]" || fail "the window did not follow the drag"
read -r _ r < <(find_text 'Második ablak')
[ "$r" = 5 ] || fail "the title is on row $r after the drag"
[ "$(char_at 30 12)" != "╔" ] || fail "the old corner is still shown"
# What the window covered and no longer covers is back: the background.
[ "$(char_at 65 18)" = "▒" ] || fail "the cells under the old place were not restored"

# A terminal smaller than 80 x 25 shows a notice on its top row; back at
# 80 x 25 the screen is drawn again whole.
shown=$(screen)
tmux -L $SOCK resize-window -t t -x 60 -y 20
wait_for "screen | head -1 | grep -q 'Nagyítsa az ablakot'" || fail "no notice in a small terminal"
tmux -L $SOCK resize-window -t t -x 80 -y 25
wait_for "[ \"\$(screen)\" = \"\$shown\" ]" || fail "the screen was not redrawn after the resize"

# The moved window still answers; then q ends the program.
[ "$(ask send Enter)" = 1 ] || fail "the prompt after the drag"
send q
wait_for "[ -s $WORK/rc ]" || fail "q did not end the program"
[ "$(cat $WORK/rc)" = 0 ] || fail "exit code $(cat $WORK/rc)"
wait_for "[ -s $WORK/after ]" || fail "no stty after"
cmp -s "$WORK/before" "$WORK/after" || fail "terminal mode not restored"
echo "uidemo e2e: ok"
