#!/usr/bin/env python3
"""Writes the small synthetic seed corpora of the fuzz targets into corpus/.

Run it again after changing it; the files it writes are kept in the
repository so the fuzz runs need no generator.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def ata_text(text, length):
    """Text as a drive stores it: blank-padded, bytes of each word swapped."""
    raw = text.encode("latin-1").ljust(length, b" ")[:length]
    return bytes(raw[i ^ 1] for i in range(length))


def identify(model, serial, firmware, cylinders=16383, heads=16, spt=63, total=0x0773_A9B0):
    s = bytearray(512)
    struct.pack_into("<H", s, 2, cylinders)
    struct.pack_into("<H", s, 6, heads)
    struct.pack_into("<H", s, 12, spt)
    struct.pack_into("<I", s, 120, total)
    s[20:40] = ata_text(serial, 20)
    s[46:54] = ata_text(firmware, 8)
    s[54:94] = ata_text(model, 40)
    return bytes(s)


def smart(entries):
    """entries: {position: (id, value, threshold)} -> (attribute, threshold) sectors."""
    a, t = bytearray(512), bytearray(512)
    a[0:2] = t[0:2] = b"\x10\x00"
    for k, (ident, value, threshold) in entries.items():
        e = 2 + 12 * k
        a[e:e + 12] = bytes([ident, 0x0F, 0x00, value, value, 1, 2, 3, 4, 5, 6, 0])
        t[e] = ident
        t[e + 1] = threshold
    return bytes(a), bytes(t)


def section(tag, data):
    return tag + struct.pack(">I", len(data)) + data


def write(folder, name, data):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


def nvme_structure(fields):
    """An NVMe structure of 4096 bytes: (offset, struct format, values...)."""
    s = bytearray(4096)
    for offset, fmt, *values in fields:
        struct.pack_into(fmt, s, offset, *values)
    return bytes(s)


def main():
    typical = identify("EXAMPLE DISK 2000", "SN000123", "1.00")
    ids = [1, 3, 4, 5, 7, 9, 10, 12, 194, 195, 196, 197, 198, 199, 200]
    healthy = smart({k: (i, 100, 10 if i < 13 else 0) for k, i in enumerate(ids)})
    gaps = smart({0: (5, 100, 36), 2: (9, 98, 0), 7: (190, 40, 0), 29: (240, 200, 0)})
    full = smart({k: (i, 253 - k, k) for k, i in enumerate(list(range(1, 14)) + list(range(191, 201)) + [220, 222, 223, 224, 225, 228, 240])})
    failing = smart({0: (1, 100, 50), 1: (4, 1, 20), 2: (194, 0, 0)})

    write("identify_fuzz", "typical", typical)
    write("identify_fuzz", "blank_model", identify("", "SN1", "FW"))
    write("identify_fuzz", "nul_in_model", identify("AB\0CD", "", "FW"))
    write("identify_fuzz", "full_texts", identify("M" * 40, "S" * 20, "F" * 8, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFFFFFF) + b"\x03")
    write("identify_fuzz", "tabs_and_blanks", identify("\t A  B \t", "  x  ", "\xff\x80") + b"\x02")

    write("attributes_fuzz", "healthy", healthy[0] + healthy[1] + b"\x01")
    write("attributes_fuzz", "gaps", gaps[0] + gaps[1] + b"\x03")
    write("attributes_fuzz", "thirty", full[0] + full[1] + b"\x05")
    write("attributes_fuzz", "failing", failing[0] + failing[1] + b"\x07")
    write("attributes_fuzz", "smart_off", failing[0] + bytes(512) + b"\x00")

    write("snapshot_fuzz", "complete",
          section(b"IDFY", typical) + section(b"SMST", b"\0\0\0\1")
          + section(b"SMDT", healthy[0]) + section(b"SMTH", healthy[1]))
    write("snapshot_fuzz", "reordered",
          section(b"SMTH", gaps[1]) + section(b"ABCD", b"xyz") + section(b"SMDT", gaps[0])
          + section(b"IDFY", identify("", "", "")))
    write("snapshot_fuzz", "identify_only", section(b"IDFY", typical))
    write("snapshot_fuzz", "truncated", section(b"IDFY", typical)[:300])
    write("snapshot_fuzz", "duplicate", section(b"SMDT", failing[0]) + section(b"SMDT", failing[0]))
    write("snapshot_fuzz", "bad_size", section(b"SMTH", failing[1][:100]))

    log = nvme_structure([(0, "<BHBBB", 0, 316, 100, 10, 3), (32, "<QQ", 15834308, 0),
                          (48, "<QQ", 5, 2), (176, "<QQ", 2 ** 64 - 1, 2 ** 64 - 1)])[:512]
    write("nvme_fuzz", "controller", nvme_structure([(4, "20s40s8s", b"S1234   ", b"Example NVMe 1TB", b"1.0"),
                                                     (80, "<I", 0x10400), (266, "<HH", 356, 358)]))
    write("nvme_fuzz", "namespace_4k", nvme_structure([(0, "<Q", 244190646), (25, "BB", 1, 1), (130, "B", 9),
                                                       (134, "B", 12)]))
    write("nvme_fuzz", "health_log", log)
    write("nvme_fuzz", "protocol_answer", struct.pack("<2I10I", 48, 48, 3, 2, 2, 0, 40, 512, 0, 0, 0, 0) + log)
    write("nvme_fuzz", "device_descriptor", struct.pack("<2I4B6I4s", 1, 80, 0, 0, 0, 0, 0, 40, 57, 66, 17, 0, bytes(4))
          + b"Example NVMe 1TB\0" + b"1.0\0" + b"S1234\0")

    write("smtp_reply_fuzz", "dialogue",
          b"220 mail.example ESMTP\r\n250-mail.example\r\n250-SIZE 10240000\r\n250 HELP\r\n"
          b"250 2.1.0 Ok\r\n250 2.1.5 Ok\r\n354 End data with <CR><LF>.<CR><LF>\r\n"
          b"250 2.0.0 Ok: queued as 4F2A\r\n221 2.0.0 Bye\r\n")
    write("smtp_reply_fuzz", "helo_fallback", b"220 old\n502 no\n250 hi\n250 ok\n550 5.1.1 unknown\n")
    write("smtp_reply_fuzz", "overlong", b"220-" + b"x" * 700 + b"\r\n220 ok\r\n421 busy\r\n")
    write("smtp_reply_fuzz", "garbage", b"220 a\r\n25\r\n\x00\xff\r\r\n250-a\r\n251 b\r\n")

    state = (b"Ostrivel monitor state 1\r\ncheck 12\r\n"
             b"outcome \"Sent 04/03/2025 14:05:09: %22250 Ok%22\"\r\n"
             b"drive 12 0 0 0 \"Maxtor 6Y080L0\" \"Y2DKQB7E\" \"YAR41BW0\"\r\n"
             b"attribute 1 100 0\r\nattribute 5 253 0\r\nattribute 197 253 2\r\n"
             b"drive 9 3 1 1 \"%01odd%FF%25\" \"\" \"F\"\r\nattribute 194 40 281474976710655\r\n")
    write("monitor_state_fuzz", "two_drives", state)
    write("monitor_state_fuzz", "lf_and_blank_lines", state.replace(b"\r\n", b"\n") + b"\n")
    write("monitor_state_fuzz", "cut_short", state[:-2])


if __name__ == "__main__":
    main()
