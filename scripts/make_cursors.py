#!/usr/bin/env python3
"""Writes the four busy-cursor frames (32x32, 1 bit) used as the module's
cursor resources: a ring whose white quarter turns from frame to frame."""
import math
import struct
import sys
from pathlib import Path

SIZE = 32


def frame_pixels(frame):
    """Gives rows of (and_bit, xor_bit) top-down."""
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            dx, dy = x - 15.5, y - 15.5
            r = math.hypot(dx, dy)
            if 9.0 <= r <= 14.5:
                quarter = int(((math.atan2(dy, dx) + math.pi) / (math.pi / 2))) % 4
                white = 1 if quarter == frame else 0
                row.append((0, white))
            else:
                row.append((1, 0))
        rows.append(row)
    return rows


def pack(bits):
    out = bytearray()
    for i in range(0, SIZE, 8):
        byte = 0
        for b in bits[i:i + 8]:
            byte = (byte << 1) | b
        out.append(byte)
    return bytes(out)


def cursor_bytes(frame):
    rows = frame_pixels(frame)
    xor_mask = b"".join(pack([p[1] for p in row]) for row in reversed(rows))
    and_mask = b"".join(pack([p[0] for p in row]) for row in reversed(rows))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 1, 0, len(xor_mask) + len(and_mask), 0, 0, 2, 0)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    image = header + palette + xor_mask + and_mask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 2, 0, 16, 16, len(image), 6 + 16)
    return directory + entry + image


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else "plugin/module/cursors")
    folder.mkdir(parents=True, exist_ok=True)
    for frame in range(4):
        (folder / f"busy{frame + 1}.cur").write_bytes(cursor_bytes(frame))


if __name__ == "__main__":
    main()
