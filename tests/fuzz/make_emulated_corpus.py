#!/usr/bin/env python3
"""Writes the seed corpus of emulated_drives_fuzz into corpus/, from the
sector helpers of make_corpus.py.

Input layout: setup byte (bit 0: 9x model; bits 1-2: NT position; bit 3: the
folder exists; bit 4: NT blob present; bits 4-7: 9x positions with the blob),
blob length (u16 LE), fault file length (u8), the blob, the fault text, then
the requests.
"""
import struct

from make_corpus import identify, section, smart, write


def seed(setup, blob, fail=b"", requests=b""):
    return bytes([setup]) + struct.pack("<H", len(blob)) + bytes([len(fail)]) + blob + fail + requests


VERSION = bytes([1, 4]) + bytes(32)


def well_formed(which, drive, room=6, at=0xFF, value=0):
    """A request as the program sends it; at < 32 changes one byte."""
    return bytes([0, room, which, drive, at, value])


def main():
    typical = identify("EXAMPLE DISK 2000", "SN000123", "1.00")
    a, t = smart({0: (5, 100, 36), 1: (9, 98, 0), 2: (194, 40, 0)})
    blob = section(b"IDFY", typical) + section(b"SMST", b"\0\0\0\1") + section(b"SMDT", a) + section(b"SMTH", t)
    probe = VERSION + b"".join(well_formed(w, 0) for w in range(4))
    write("emulated_drives_fuzz", "nt_drive0", seed(0x10, blob, requests=probe))
    write("emulated_drives_fuzz", "nt_drive3_faults",
          seed(0x16, blob, b"enable\nattributes 21\n# comment\n", VERSION + well_formed(0, 3) + well_formed(2, 3)))
    write("emulated_drives_fuzz", "nt_identify_only", seed(0x10, section(b"IDFY", typical), requests=probe))
    write("emulated_drives_fuzz", "ninex_two_drives",
          seed(0x59, blob, requests=VERSION + well_formed(1, 0) + well_formed(1, 2) + well_formed(2, 1)))
    write("emulated_drives_fuzz", "bad_requests",
          seed(0x10, blob, requests=well_formed(2, 0, at=4, value=0xD2) + well_formed(1, 0, room=5)
               + bytes([1, 6]) + bytes(32) + bytes([3, 6]) + bytes(32) + bytes([31])))
    write("emulated_drives_fuzz", "truncated", seed(0x10, blob[:700], requests=probe))
    failing = section(b"IDFY", typical) + section(b"SMST", bytes(4)) + section(b"SMDT", a)
    write("emulated_drives_fuzz", "nt_without_rights", seed(0x12, failing, b"admin\n", probe))


if __name__ == "__main__":
    main()
