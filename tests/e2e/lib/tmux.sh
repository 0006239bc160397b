# Helpers of the end-to-end scripts that drive a program in tmux. The script
# sets SOCK (the tmux server's socket name; it may change between runs) and,
# when it has one, LOG (a file shown after the screen when a check fails).

screen() { tmux -L "$SOCK" capture-pane -p -t t; }
row() { screen | sed -n "$1p"; }
send() { tmux -L "$SOCK" send-keys -t t "$@"; }
shows() { screen | grep -qF -- "$1"; }

fail() {
  echo "FAIL: $*" >&2
  echo "--- screen:" >&2
  screen >&2 || true
  if [ -n "${LOG:-}" ] && [ -f "$LOG" ]; then
    echo "--- log:" >&2
    cat "$LOG" >&2 || true
  fi
  exit 1
}

# wait_for CONDITION [SECONDS]: evaluates CONDITION every 50 ms until it
# holds (status 0) or SECONDS (default 5) have passed (status 1).
wait_for() {
  local n=$(( ${2:-5} * 20 ))
  for _ in $(seq 1 "$n"); do
    if eval "$1"; then return 0; fi
    sleep 0.05
  done
  return 1
}

# fresh_session COMMAND: ends the tmux server of the previous run and starts
# COMMAND in an 80 x 25 session on a server with a socket name of its own
# (a server still going away after kill-server must not take the new
# session with it).
TMUX_RUNS=0
fresh_session() {
  tmux -L "$SOCK" kill-server 2>/dev/null || true
  TMUX_RUNS=$((TMUX_RUNS + 1))
  SOCK=${SOCK%.*}.$TMUX_RUNS
  tmux -f /dev/null -L "$SOCK" new-session -d -s t -x 80 -y 25 "$1"
}
