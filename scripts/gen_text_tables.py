#!/usr/bin/python3
"""Writes src/text/oem_ansi_tables.inc: the case and conversion tables that
stand in for the Windows OEM/ANSI services on a Hungarian system (OEM = code
page 852, ANSI = code page 1250), taken from Python's codecs and its Unicode
case rules. Run from the project root:
    /usr/bin/python3 scripts/gen_text_tables.py > src/text/oem_ansi_tables.inc

Tables (each indexed by a byte):
  kAnsiUpper, kAnsiLower   case of a code page 1250 byte. A letter whose other
                           case is one character of code page 1250 maps to it;
                           everything else (ß, µ, signs) stays.
  kOemUpper, kOemLower     the same for code page 852: the letter goes through
                           code page 1250 and its case rules and comes back.
                           Bytes that code page 1250 cannot hold (box and
                           block characters) stay as they are.
  kOemFromAnsi             1250 -> 852; a character code page 852 lacks gets a
                           look-alike (quotes, dashes, the DOS glyphs of the
                           bullet and the pilcrow) or "?".
  kAnsiFromOem             852 -> 1250; box characters become "+", "-", "=" and
                           "|", shades and blocks "?".
  kAnsiPrimary, kAnsiSecondary, kAnsiTertiary
                           collation weights of a code page 1250 byte: the
                           letter of the Hungarian alphabet (accents and case
                           ignored; o/ö and u/ü are different letters), then
                           the accent, then the case.
"""
import unicodedata

OEM, ANSI = "cp852", "cp1250"


def dec(b, cp):
    try:
        return bytes([b]).decode(cp)
    except UnicodeDecodeError:
        return chr(b)  # the undefined 1250 bytes: the C1 control of that number


def enc(ch, cp):
    try:
        e = ch.encode(cp)
    except UnicodeEncodeError:
        return None
    return e[0] if len(e) == 1 else None


def case_table(cp, fn):
    out = []
    for b in range(256):
        ch = dec(b, cp)
        other = fn(ch)
        t = enc(other, cp) if len(other) == 1 and other != ch else None
        out.append(t if t is not None else b)
    return out


ansi_upper = case_table(ANSI, str.upper)
ansi_lower = case_table(ANSI, str.lower)


def oem_case(ansi_case):
    out = []
    for b in range(256):
        a = enc(dec(b, OEM), ANSI)
        if a is None:
            out.append(b)
            continue
        back = enc(dec(ansi_case[a], ANSI), OEM)
        out.append(back if back is not None else b)
    return out


oem_upper = oem_case(ansi_upper)
oem_lower = oem_case(ansi_lower)

# Look-alikes for the code page 1250 characters that code page 852 lacks.
ANSI_FALLBACK = {
    "\u201A": ",", "\u201E": '"', "\u2026": ".", "\u2018": "'", "\u2019": "'",
    "\u201C": '"', "\u201D": '"', "\u2013": "-", "\u2014": "-", "\u2039": "<",
    "\u203A": ">", "\u00A6": "|", "\u00A9": "C", "\u00AE": "R", "\u00B1": "+",
    "\u00B5": "u", "\u00B7": ".", "\u2122": "T",
    "\u2022": "\x07",  # the bullet is the DOS glyph of the byte 7
    "\u00B6": "\x14",  # the pilcrow is the DOS glyph of the byte 20
}
oem_from_ansi = []
for b in range(256):
    ch = dec(b, ANSI)
    t = enc(ch, OEM)
    if t is None:
        t = ord(ANSI_FALLBACK.get(ch, "?"))
    oem_from_ansi.append(t)

ansi_from_oem = []
for b in range(256):
    ch = dec(b, OEM)
    t = enc(ch, ANSI)
    if t is None:
        name = unicodedata.name(ch, "")
        if name.startswith("BOX DRAWINGS"):
            vertical = "VERTICAL" in name and "HORIZONTAL" not in name and not any(
                w in name for w in ("LEFT", "RIGHT", "UP AND", "DOWN AND"))
            horizontal = "HORIZONTAL" in name and "VERTICAL" not in name and not any(
                w in name for w in ("UP", "DOWN"))
            if vertical:
                t = ord("|")
            elif horizontal:
                t = ord("=") if "DOUBLE" in name else ord("-")
            else:
                t = ord("+")
        else:
            t = ord("?")
    ansi_from_oem.append(t)

# Collation. Groups: controls, then signs, then digits, then letters.
ALPHABET = "a b c d e f g h i j k l m n o ö p q r s t u ü v w x y z".split()
SPECIAL_BASE = {"ł": "l", "đ": "d", "ß": "s", "ő": "ö", "ű": "ü", "ö": "ö", "ü": "ü"}


def base_letter(ch):
    low = ch.lower() if len(ch.lower()) == 1 else ch
    if low in SPECIAL_BASE:
        return SPECIAL_BASE[low]
    d = unicodedata.normalize("NFD", low)[0]
    return d if d in ALPHABET else None


chars = [dec(b, ANSI) for b in range(256)]
letters = [c for c in chars if unicodedata.category(c).startswith("L") and base_letter(c)]
digits = [c for c in chars if c.isdigit() and c in "0123456789"]
controls = [c for c in chars if unicodedata.category(c) == "Cc"]
signs = sorted(c for c in chars if c not in letters and c not in digits and c not in controls)

primary = {}
w = 1
for c in sorted(controls):
    primary[c] = w
    w += 1
for c in signs:
    primary[c] = w
    w += 1
for c in digits:
    primary[c] = w
    w += 1
for letter in ALPHABET:
    for c in letters:
        if base_letter(c) == letter:
            primary[c] = w
    w += 1
assert w < 256

secondary, tertiary = {}, {}
for c in chars:
    if c in letters:
        low = c.lower() if len(c.lower()) == 1 else c
        same = sorted({(x.lower() if len(x.lower()) == 1 else x)
                       for x in letters if base_letter(x) == base_letter(c)})
        plain = base_letter(c)
        order = [plain] + [x for x in same if x != plain] if plain in same else same
        secondary[c] = order.index(low) if low in order else 0
        tertiary[c] = 1 if c != low else 0
    else:
        secondary[c] = 0
        tertiary[c] = 0


def emit(name, values, comment):
    print("// " + comment)
    print("inline constexpr unsigned char %s[256] = {" % name)
    for i in range(0, 256, 16):
        print("    " + ", ".join("0x%02X" % v for v in values[i:i + 16]) + ",")
    print("};")
    print()


print("// Generated by scripts/gen_text_tables.py from Python's cp852 and cp1250")
print("// codecs and Unicode case rules; do not edit.")
print()
emit("kAnsiUpper", ansi_upper, "Code page 1250 byte -> its capital.")
emit("kAnsiLower", ansi_lower, "Code page 1250 byte -> its small letter.")
emit("kOemUpper", oem_upper, "Code page 852 byte -> its capital.")
emit("kOemLower", oem_lower, "Code page 852 byte -> its small letter.")
emit("kOemFromAnsi", oem_from_ansi, "Code page 1250 -> code page 852.")
emit("kAnsiFromOem", ansi_from_oem, "Code page 852 -> code page 1250.")
emit("kAnsiPrimary", [primary[c] for c in chars], "Collation: letter (or sign, digit) of a code page 1250 byte.")
emit("kAnsiSecondary", [secondary[c] for c in chars], "Collation: accent of a letter.")
emit("kAnsiTertiary", [tertiary[c] for c in chars], "Collation: 1 for a capital.")
