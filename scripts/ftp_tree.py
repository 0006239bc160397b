#!/usr/bin/python3
"""Builds the folder an update server offers to vfris, for the demo and tests.

    ftp_tree.py ROOT [--client ID]... [--no-archive]

ROOT/letolt/unzip.exe          a script that runs the system's unzip
ROOT/letolt/domva26/domva.zip  the archive of the default program id, holding
                               lunemind.zip and frissit.exe
ROOT/letolt/ugy26/ID/domva.zip the same archive for each client ID given

frissit.exe says in Hungarian that the update is done and waits for Enter.
Two variables let a test watch the programs: UNZIP_MARKER and FRISSIT_MARKER
name files into which unzip.exe and frissit.exe write their current folder.
With --no-archive no domva.zip is offered.
"""
import argparse
import io
import os
import zipfile

UNZIP = """#!/bin/sh
# The unpacking tool of the update server: the system's unzip.
[ -n "$UNZIP_MARKER" ] && pwd > "$UNZIP_MARKER"
exec unzip "$@"
"""

FRISSIT = """#!/bin/sh
# The suite's own update program, as a stand-in.
[ -n "$FRISSIT_MARKER" ] && pwd > "$FRISSIT_MARKER"
echo
echo "A programfrissítés befejeződött: a könyvelőprogram naprakész."
printf "Nyomja meg az Enter billentyűt a folytatáshoz... "
read valasz
"""

LUNEMIND = b"The suite's program files would be here.\n"


def archive_bytes():
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data, mode in (("lunemind.zip", LUNEMIND, 0o644),
                                 ("frissit.exe", FRISSIT.encode("utf-8"), 0o755)):
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 5, 12, 0, 0))
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data)
    return buf.getvalue()


def write(path, data, mode=0o644):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.chmod(path, mode)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("root")
    ap.add_argument("--client", action="append", default=[])
    ap.add_argument("--no-archive", action="store_true")
    args = ap.parse_args()
    letolt = os.path.join(args.root, "letolt")
    write(os.path.join(letolt, "unzip.exe"), UNZIP.encode("utf-8"), 0o755)
    folders = [os.path.join(letolt, "domva26")]
    folders += [os.path.join(letolt, "ugy26", c) for c in args.client]
    for folder in folders:
        os.makedirs(folder, exist_ok=True)
        if not args.no_archive:
            write(os.path.join(folder, "domva.zip"), archive_bytes())


if __name__ == "__main__":
    main()
