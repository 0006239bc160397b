#!/usr/bin/env bash
# filesdemo in a real terminal (tmux, 80 x 25): a child program that writes to
# the terminal and reads a key, started from a file that came without its run
# permission, and the screen given back intact; the pause line on a fresh
# row and over the bottom row, ended by one (multi-byte) key; a ".bat" file
# found for a name without a dot; "CD" changing the folder without touching
# the screen; the terminal mode put back at the end.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BIN=${BIN:-$HERE/../../build/bin}
WORK=$(mktemp -d)
SOCK=vfl$$
LOG=$WORK/log
trap 'tmux -L $SOCK kill-server 2>/dev/null || true; rm -rf "$WORK"' EXIT

source "$HERE/lib/tmux.sh"
lines() { [ -f "$LOG" ] && wc -l < "$LOG" || echo 0; }
last() { tail -1 "$LOG"; }
# Starts filesdemo in a shell that has written two lines first (what the
# terminal showed before the program), with the given arguments.
start() {
  fresh_session "bash --norc"
  send "cd $WORK && export TERM=xterm-256color DRIVES='W=$WORK' && stty -g > $WORK/before && clear && echo shell-line-1 && echo shell-line-2 && $BIN/filesdemo --log $LOG $* ; echo \$? > $WORK/rc; stty -g > $WORK/after" Enter
  wait_for "shows 'Programindítás'" || fail "filesdemo did not start"
  sleep 0.3
}
stop() {
  send q
  wait_for "[ -s $WORK/rc ]" || fail "q did not end the program"
  [ "$(cat $WORK/rc)" = 0 ] || fail "exit code $(cat $WORK/rc)"
  wait_for "[ -s $WORK/after ]" || fail "no stty after"
  cmp -s "$WORK/before" "$WORK/after" || fail "terminal mode not restored"
  rm -f "$WORK/rc" "$WORK/after"
}

# A child that writes, reads one key in raw mode, writes again, ends with 5.
cat > "$WORK/child.exe" <<'CHILD'
#!/bin/sh
printf 'CHILD: press a key\n'
old=$(stty -g)
stty raw -echo
k=$(dd bs=1 count=1 2>/dev/null)
stty "$old"
printf 'CHILD got %s\n' "$k"
exit 5
CHILD
chmod 644 "$WORK/child.exe"  # as a download leaves it
mkdir "$WORK/sub"

start
before=$(screen)
n=$(lines)
send r
wait_for "shows 'CHILD: press a key'" || fail "the child did not get the terminal"
shows 'shell-line-2' || fail "the child does not see the terminal as the shell left it"
send x
wait_for "[ \$(lines) -gt $n ]" || fail "the run did not end"
[ "$(last)" = "run 5 0" ] || fail "run answered: $(last)"
wait_for "[ \"\$(screen)\" = \"\$before\" ]" || fail "the screen after the child differs from the one before"
[ -x "$WORK/child.exe" ] || fail "the run permission was not given"

# The pause line on a fresh bottom row, under the child's output; F1 (three
# bytes) is one key and nothing of it reaches the program afterwards.
n=$(lines)
send p
wait_for "shows 'CHILD: press a key'" || fail "the child did not start (pause)"
send y
wait_for "screen | tail -1 | grep -qF 'Tovább bármivel...'" || fail "no pause line on the bottom row"
shows 'CHILD got y' || fail "the child's output is not shown with the pause line"
sleep 0.3
[ "$(lines)" = "$n" ] || fail "the run ended before the pause key"
send F1
wait_for "[ \$(lines) -gt $n ]" || fail "the pause did not end on F1"
[ "$(last)" = "run 5 0" ] || fail "run with pause answered: $(last)"
wait_for "[ \"\$(screen)\" = \"\$before\" ]" || fail "the screen after the pause differs from the one before"

# The pause line over the bottom row: the row above keeps the child's last line.
n=$(lines)
send k
wait_for "shows 'CHILD: press a key'" || fail "the child did not start (keep line)"
send z
wait_for "screen | tail -1 | grep -qF 'Tovább bármivel...'" || fail "no pause line over the bottom row"
send Space
wait_for "[ \$(lines) -gt $n ]" || fail "the keep-line pause did not end"
wait_for "[ \"\$(screen)\" = \"\$before\" ]" || fail "the screen after the keep-line pause differs"
stop

# "CD": the folder changes, the terminal is not handed over, the screen stays.
start --folder sub
before=$(screen)
n=$(lines)
send c
wait_for "[ \$(lines) -gt $n ]" || fail "cd did not answer"
[ "$(last)" = 'cd 0 W:\sub' ] || fail "cd answered: $(last)"
[ "$(screen)" = "$before" ] || fail "cd changed the screen"
stop

# A ".bat" file for a name without a dot, run through the shell.
printf 'echo "$1 $2" > ran.txt\nexit 4\n' > "$WORK/job.bat"
start --program job --params one
n=$(lines)
send r
wait_for "[ \$(lines) -gt $n ]" || fail "job did not run"
[ "$(last)" = "run 4 0" ] || fail "job answered: $(last)"
[ "$(cat "$WORK/ran.txt")" = "one " ] || fail "job.bat got: $(cat "$WORK/ran.txt")"
# A program that is nowhere: the reason comes back, the screen stays.
stop
start --program nowhere-at-all
before=$(screen)
n=$(lines)
send r
wait_for "[ \$(lines) -gt $n ]" || fail "the missing program did not answer"
[ "$(last)" = "run 65535 2" ] || fail "a missing program answered: $(last)"
wait_for "[ \"\$(screen)\" = \"\$before\" ]" || fail "the screen after a failed start differs"
stop
echo "files launch e2e: ok"
