#!/usr/bin/env bash
# isam on damaged data and index files (cut short, bytes overwritten, item
# counts above 32, page numbers outside the file, loops in the free chain and
# in child links): every command ends within a second with an exit code and
# something printed, never with a crash signal, a hang or a sanitizer report.
# The index commands (keys, check) take part once isam offers them.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BIN=${BIN:-$HERE/../../build/bin}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

fail() { echo "FAIL: $*" >&2; exit 1; }

# A sound pair: KAR.DAT of 33 records of 40 bytes (bytes 8..15 the key) and
# KAR.IDX with key length 8 (pages of 549 bytes): two leaves of 16 items
# under a root of one item.
python3 - <<'PY'
import struct
REC, KEY = 40, 8
PAGE = 32 * KEY + 293
def header(first, free, root, slots, size):
    return struct.pack('<iiiiBh', first, free, root, slots, 0, 0).ljust(size, b'\0')
keys = [b'K%07d' % (i * 3) for i in range(33)]
data = header(-1, 0, 0, 34, REC)
for i, k in enumerate(keys):
    data += (struct.pack('<i', i) + b'\x01\x02\x03\x04' + k).ljust(REC, b'R')
open('KAR.DAT', 'wb').write(data)
def page(left, items):
    b = struct.pack('<Bi', len(items), left)
    for ref, right, k in items:
        b += struct.pack('<ii', ref, right) + bytes([len(k)]) + k.ljust(KEY, b'\0')
    return b.ljust(PAGE, b'\0')
leaf1 = page(0, [(i + 1, 0, keys[i]) for i in range(16)])
leaf2 = page(0, [(i + 1, 0, keys[i]) for i in range(17, 33)])
root = page(1, [(17, 2, keys[16])])
open('KAR.IDX', 'wb').write(header(-1, 0, 3, 4, PAGE) + leaf1 + leaf2 + root)
PY
cp KAR.DAT SOUND.DAT
cp KAR.IDX SOUND.IDX

usage=$("$BIN/isam" 2>&1 </dev/null || true)
has() { grep -q "isam $1" <<<"$usage"; }

# poke FILE OFFSET PYTHON-BYTES: overwrite bytes in place.
poke() { python3 -c "
import sys
f = open('$1', 'r+b'); f.seek($2); f.write($3)"; }
i32() { echo "__import__('struct').pack('<i', $1)"; }
PAGE=549

damage() {  # name: makes KAR.DAT / KAR.IDX from the sound pair, then damages one
  cp SOUND.DAT KAR.DAT
  cp SOUND.IDX KAR.IDX
  case $1 in
    data-half-record) truncate -s 420 KAR.DAT ;;
    data-in-header) truncate -s 10 KAR.DAT ;;
    data-empty) : > KAR.DAT ;;
    data-first-free-outside) poke KAR.DAT 0 "$(i32 999999)" ;;
    data-free-loop) poke KAR.DAT 0 "$(i32 5)"; poke KAR.DAT 4 "$(i32 2)"
                    poke KAR.DAT 200 "$(i32 5)+b'\\0'" ;;
    data-slot-count-huge) poke KAR.DAT 12 "$(i32 2147483647)" ;;
    data-counts-negative) poke KAR.DAT 4 "$(i32 -9)"; poke KAR.DAT 17 "b'\\xff\\xff'" ;;
    index-half-page) truncate -s $((PAGE * 3 + 100)) KAR.IDX ;;
    index-three-pages) truncate -s $((PAGE * 3)) KAR.IDX ;;
    index-root-outside) poke KAR.IDX 8 "$(i32 5000)" ;;
    index-root-negative) poke KAR.IDX 8 "$(i32 -1)" ;;
    index-root-count-33) poke KAR.IDX $((PAGE * 3)) "b'\\x21'" ;;
    index-leaf-count-255) poke KAR.IDX $((PAGE * 1)) "b'\\xff'" ;;
    index-child-outside) poke KAR.IDX $((PAGE * 3 + 9)) "$(i32 123456)" ;;
    index-child-loop) poke KAR.IDX $((PAGE * 3 + 9)) "$(i32 3)" ;;
    index-leaf-self-link) poke KAR.IDX $((PAGE * 1 + 1)) "$(i32 1)" ;;
    index-free-loop) poke KAR.IDX 0 "$(i32 2)"; poke KAR.IDX 4 "$(i32 1)"
                     poke KAR.IDX $((PAGE * 2)) "$(i32 2)" ;;
    index-key-length-200) poke KAR.IDX $((PAGE * 1 + 5 + 8)) "b'\\xc8'" ;;
    random-*) python3 -c "
import random
r = random.Random('$1')
for name, count in (('KAR.DAT', 30), ('KAR.IDX', 120)):
    b = bytearray(open(name, 'rb').read())
    for _ in range(count):
        b[r.randrange(len(b))] = r.randrange(256)
    open(name, 'wb').write(b)" ;;
    *) fail "unknown damage $1" ;;
  esac
}

# run NAME ARGS...: isam within a second, no signal, no sanitizer report.
run() {
  local what=$1; shift
  local rc=0
  timeout -s KILL 1 "$BIN/isam" "$@" </dev/null >out 2>err || rc=$?
  case $rc in
    126|127) fail "$what: isam not run ($rc)" ;;
    124|137) fail "$what: isam $* did not end within a second" ;;
    134|135|136|139) fail "$what: isam $* ended with a crash signal ($rc)" ;;
  esac
  if grep -qE 'Sanitizer|runtime error' err; then fail "$what: isam $*: $(head -5 err)"; fi
  [ -s out ] || [ -s err ] || fail "$what: isam $* printed nothing (exit $rc)"
  if [ "$rc" -ne 0 ]; then nonzero=$((nonzero + 1)); fi
}

nonzero=0
kinds="data-half-record data-in-header data-empty data-first-free-outside data-free-loop
       data-slot-count-huge data-counts-negative index-half-page index-three-pages
       index-root-outside index-root-negative index-root-count-33 index-leaf-count-255
       index-child-outside index-child-loop index-leaf-self-link index-free-loop
       index-key-length-200 random-1 random-2 random-3 random-4 random-5 random-6"
for k in $kinds; do
  damage "$k"
  run "$k" info KAR.DAT 40
  run "$k" info KAR.IDX $PAGE
  run "$k" reset-stuck "KAR.*"
  if has keys; then run "$k" keys KAR.IDX 8; fi
  if has check; then
    run "$k" check KAR.IDX 8
    run "$k" check KAR.IDX 8 --data KAR.DAT 40
  fi
done
# The sound pair passes where the damaged ones fail.
cp SOUND.DAT KAR.DAT
cp SOUND.IDX KAR.IDX
"$BIN/isam" info KAR.DAT 40 </dev/null >/dev/null || fail "sound data file refused"
if has check; then
  "$BIN/isam" check KAR.IDX 8 --data KAR.DAT 40 </dev/null >/dev/null || fail "sound pair refused"
fi
# A data file that its record length does not divide is refused.
damage data-half-record
if "$BIN/isam" info KAR.DAT 40 </dev/null >out 2>&1; then fail "cut data file taken: $(cat out)"; fi
[ "$nonzero" -gt 0 ] || fail "no command reported any damage"
echo "ok"
