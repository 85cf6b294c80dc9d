#!/usr/bin/env python3
"""Writes the sample data of data/: CHIPDEF.INI, serburn.cfg, the control-program and
RAM-execute module files, and sample hex files. Deterministic: running it again gives the
same bytes. Usage: scripts/make_sample_data.py [DATA_DIR]"""

import os
import sys

DATA = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "data")

# ---- chips ---------------------------------------------------------------------------------
# (section, file, load address text, option, starts, ends, flash size, clocks, baud, baud2, kind)
CHIPS = [
    ("OS3F10", "os3f10.ctl", "0x0400", False, "0x4000", "0xFFFF", 49152,
     "4,8,16", "4800,9600,19200", "9600,19200,38400", "C"),
    ("OS3F24", "os3f24.ctl", "0x0400", False, "0x080800,0x0A0000", "0x09FFFF,0x0BFFFF", 260096,
     "4,8,16", "4800,9600,19200", None, "C"),
    ("OS3F80", "os3f80.ctl", "0x0800", False, "0xFC0000", "0xFFFFFF", 262144,
     "8,16", "9600,19200", "19200,57600", "C"),
    ("OS3F30", "os3f30.ctl", "0x0400", True, "0x8000", "0x1FFFF", 98304,
     "4,8,16", "4800,9600,19200", "9600,19200,38400", "C"),
    ("KV40K358/G", "kv40k358.bin", "0x0400", False, "0x004000", "0x01FFFF", 114688,
     "4,8,16", "4800,9600,19200", None, "M"),
    ("KV40K516", "kv40k516.bin", "0x0600", False, "0x010000,0x040000", "0x03FFFF,0x05FFFF", 327680,
     "4,8,16", "4800,9600,19200", "9600,19200,57600", "M"),
    ("KV40K120", "kv40k120.bin", "0x0400", True, "0x004000", "0x00FFFF", 49152,
     "4,8,16", "4800,9600,19200", None, "M"),
    ("KV41K604", "kv41k604.bin", "0x00F000", False, "0x020000", "0x05FFFF", 262144,
     "4,8,16", "9600,19200,38400", "19200,38400,76800", "M"),
    ("KV41K725", "kv41k725.bin", "0x11000", False, "0x100000", "0x17FFFF", 524288,
     "4,8,16", "9600,19200,38400", "38400,57600,115200", "M"),
]


def crc16(data):
    crc = 0
    for b in data:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) & 0xFFFF if crc & 0x8000 else (crc << 1) & 0xFFFF
    return crc


def program(kind, link, text, body_length):
    """A program image as the simulated board runs it (see sim/program_image.h)."""
    body = bytearray(body_length)
    for i in range(body_length):
        body[i] = ord(text[i]) if i < len(text) else (i * 7 + 0x21) & 0xFF
    crc = crc16(body)
    header = bytes([ord("K"), ord("V"), 0, ord(kind),
                    link & 0xFF, (link >> 8) & 0xFF, (link >> 16) & 0xFF, (link >> 24) & 0xFF,
                    body_length & 0xFF, body_length >> 8, crc >> 8, crc & 0xFF]) + b"KVSB"
    return header + bytes(body)


def write(path, data, text=False):
    full = os.path.join(DATA, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "w" if text else "wb", newline="\n" if text else None) as f:
        f.write(data)


def chipdef():
    lines = ["; Sample chip database. One section per chip; the keys stay in this order, one per",
             "; line, as the console programmer reads them by position.", ""]
    for (name, file, load, option, starts, ends, size, clocks, baud, baud2, _) in CHIPS:
        lines.append("[%s]" % name)
        lines.append("DownloadFile=%s" % file)
        lines.append("LoadAddress=%s" % load)
        if option:
            lines.append("DownloadOption=1")
        lines.append("StartAddress=%s" % starts)
        lines.append("EndAddress=%s" % ends)
        lines.append("FlashSize=%d" % size)
        lines.append("Clock=%s" % clocks)
        lines.append("Baud=%s" % baud)
        if baud2:
            lines.append("Baud2=%s" % baud2)
        lines.append("")
    return "\n".join(lines)


def pattern(length, seed):
    out = bytearray(length)
    x = seed
    for i in range(length):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out[i] = (x >> 16) & 0xFF
    return bytes(out)


def srec(records, s0=b"sample", end_type=9, only_s2=False):
    """records: list of (address, bytes). S1/S2/S3 by address width (only_s2: S2 for all);
    16 bytes a line."""
    def line(rtype, addr, addr_len, data):
        body = bytes([addr_len + len(data) + 1]) + addr.to_bytes(addr_len, "big") + data
        return "S%d%s%02X" % (rtype, body.hex().upper(), (~sum(body)) & 0xFF)
    out = [line(0, 0, 2, s0)]
    for (addr, data) in records:
        for off in range(0, len(data), 16):
            a = addr + off
            if a + 16 <= 0x10000 and not only_s2:
                out.append(line(1, a, 2, data[off:off + 16]))
            elif a + 16 <= 0x1000000:
                out.append(line(2, a, 3, data[off:off + 16]))
            else:
                out.append(line(3, a, 4, data[off:off + 16]))
    out.append(line(end_type, 0, {9: 2, 8: 3, 7: 4}[end_type], b""))
    return "\n".join(out) + "\n"


def ihex(records):
    def line(rtype, offset, data):
        body = bytes([len(data), offset >> 8, offset & 0xFF, rtype]) + data
        return ":%s%02X" % (body.hex().upper(), (-sum(body)) & 0xFF)
    out = []
    upper = None
    for (addr, data) in records:
        for off in range(0, len(data), 16):
            a = addr + off
            if a >> 16 != upper:
                upper = a >> 16
                out.append(line(4, 0, upper.to_bytes(2, "big")))
            out.append(line(0, a & 0xFFFF, data[off:off + 16]))
    out.append(line(1, 0, b""))
    return "\n".join(out) + "\n"


def main():
    write("CHIPDEF.INI", chipdef(), text=True)
    write("serburn.cfg", "KV40=\"./\"\nKV41=./\n", text=True)
    for (name, file, load, _, _, _, _, _, _, _, kind) in CHIPS:
        text = "%s program for %s, simulated board. " % ("Control" if kind == "C" else "RAM-execute", name)
        write(file, program(kind, int(load, 16), text, 480))
    write(os.path.join("ovl", "41", "ae_flash.725"),
          program("A", 0x11000, "Auto-erase module for KV41K725, simulated board. ", 240))

    # One area, 16-bit addresses: 2.5 KiB at the start, one block near the end.
    one = [(0x4000, pattern(0xA00, 1)), (0xF000, pattern(0x200, 2))]
    write("hex/os3f10.mot", srec(one, b"os3f10"), text=True)
    write("hex/os3f10.hex", ihex(one), text=True)
    # Two areas with a gap (0x080800-0x09FFFF, 0x0A0000-0x0BFFFF), across 64 KiB pages.
    multi = [(0x080800, pattern(0x1000, 3)), (0x08FF00, pattern(0x200, 4)), (0x0A0000, pattern(0x600, 5))]
    write("hex/os3f24_multi.mot", srec(multi, b"os3f24", end_type=8), text=True)
    write("hex/os3f24_multi.hex", ihex(multi), text=True)
    # An area that ends at 0xFFFFFF: data in its last block.
    top = [(0xFC0000, pattern(0x400, 6)), (0xFFFE00, pattern(0x200, 7))]
    write("hex/os3f80_top.mot", srec(top, b"os3f80", end_type=8), text=True)
    # The console programmer's inputs: binary from the start address, and S2 records (.mhx).
    kv40 = pattern(0x1000, 8)
    kv40 = kv40[:0x400] + b"\xFF" * 0x400 + kv40[0x800:]  # one blank block pair in the middle
    write("hex/kv40k358.bin", kv40)
    write("hex/kv40k358.mhx", srec([(0x004000, kv40)], b"kv40k358", end_type=8, only_s2=True), text=True)
    write("hex/kv41k725.bin", pattern(0x2000, 9))
    write("hex/kv41k604.bin", pattern(0x1000, 10))


if __name__ == "__main__":
    main()
