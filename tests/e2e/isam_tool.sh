#!/usr/bin/env bash
# isam on engine files made byte by byte: info prints the header and counts,
# wrong record lengths and missing files end with exit code 1 and a message,
# reset-stuck clears the words a stopped station left (sparing excluded
# names), and nothing of it needs or touches a terminal (run without one,
# no escape sequences in the output).
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BIN=${BIN:-$HERE/../../build/bin}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

fail() { echo "FAIL: $*" >&2; exit 1; }
isam() { "$BIN/isam" "$@" </dev/null; }

# A 20-byte-record file: header (FirstFree 2, FreeCount 1, RootPage 0,
# SlotCount 4, TransactionFlag 1, SharedUsers 3), two live records and a free
# slot (link -1, byte 4 zero).
hdr='\x02\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x04\x00\x00\x00\x01\x03\x00\x00'
printf "$hdr" > VEVO.DAT
printf 'AAAA\x01BBBBBBBBBBBBBBB' >> VEVO.DAT
printf '\xff\xff\xff\xff\x00CCCCCCCCCCCCCCC' >> VEVO.DAT
printf 'DDDD\x07EEEEEEEEEEEEEEE' >> VEVO.DAT
cp VEVO.DAT JOG.DAT

out=$(isam info VEVO.DAT 20 2>err) || fail "info exit $?: $(cat err)"
want='FirstFree: 2
FreeCount: 1
RootPage: 0
SlotCount: 4
TransactionFlag: 1
SharedUsers: 3
LiveRecords: 2'
[ "$out" = "$want" ] || fail "info printed: $out"
[ ! -s err ] || fail "info wrote to stderr: $(cat err)"
isam info "$WORK/VEVO.DAT" 20 >/dev/null || fail "absolute path"

# Failures: exit 1 and a message naming the problem.
check_fail() {  # expected-text args...
  local want=$1; shift
  local rc=0
  isam "$@" >out 2>err || rc=$?
  [ "$rc" = 1 ] || fail "isam $* exited $rc"
  grep -q "$want" err || fail "isam $* said: $(cat err)"
}
check_fail 'not a multiple of the record length 21' info VEVO.DAT 21
check_fail 'A file nem létezik' info NINCS.DAT 20
check_fail 'from 19 to 10000' info VEVO.DAT 18
check_fail 'from 19 to 10000' info VEVO.DAT 10001
check_fail 'usage' info VEVO.DAT
check_fail 'usage' frobnicate
check_fail 'no such folder' reset-stuck "$WORK/nincs/*.DAT"
printf 'short' > ROVID.DAT
check_fail 'too short' info ROVID.DAT 20

# The file was only read.
cmp -s VEVO.DAT JOG.DAT || fail "info changed the file"

out=$(isam reset-stuck '*.DAT' '' 'JOG.DAT;JEL.DAT' 2>err) || fail "reset-stuck exit $?: $(cat err)"
want='    1. ROVID.DAT
    2. VEVO.DAT Tranzakció! Lock!'
[ "$out" = "$want" ] || fail "reset-stuck printed: $out"
isam info VEVO.DAT 20 | grep -qx 'TransactionFlag: 0' || fail "flag not cleared"
isam info VEVO.DAT 20 | grep -qx 'SharedUsers: 0' || fail "users not cleared"
isam info JOG.DAT 20 | grep -qx 'SharedUsers: 3' || fail "excluded file changed"
# Only bytes 16..18 changed.
changed=$(cmp -l VEVO.DAT JOG.DAT | awk '{print $1}' | tr '\n' ' ' || true)
[ "$changed" = "17 18 " ] || fail "bytes changed: $changed"

# No terminal was taken: no escape sequence anywhere in what it printed.
isam info VEVO.DAT 20 >all 2>&1
isam reset-stuck '*.DAT' >>all 2>&1
! grep -q $'\e' all || fail "escape sequences in the output"
echo "isam tool: all checks passed"
