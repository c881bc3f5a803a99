"""A baseline JPEG encoder in plain Python (standard library only).

encode(width, height, pixels) gives the bytes of a JFIF file: pixels is a list
of rows, each a list of (r, g, b) tuples or of grey values, 0 to 255; width and
height must be multiples of 8. Colour is written without chroma subsampling.
Every step is integer arithmetic (the DCT in fixed point, Huffman tables built
from the image's own symbol counts), so the same pixels give the same bytes on
any machine and any Python 3.
"""
import math
import struct

# The example luminance and chrominance tables of the JPEG standard, row by row.
LUMA_QUANT = [
    16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
    14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
    18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
]
CHROMA_QUANT = [
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
] + [99] * 32

FIX_BITS = 13


def zigzag_order():
    """Gives the row-major index of each coefficient in zigzag order."""
    cells = [(x, y) for y in range(8) for x in range(8)]
    cells.sort(key=lambda c: (c[0] + c[1], c[0] if (c[0] + c[1]) % 2 == 0 else c[1]))
    return [y * 8 + x for x, y in cells]


ZIGZAG = zigzag_order()


def dct_table():
    """C(u)/2 * cos((2x+1)u pi/16) in fixed point; rounding makes it exact on every libm."""
    table = []
    for u in range(8):
        scale = math.sqrt(0.5) if u == 0 else 1.0
        table.append([round(scale / 2 * math.cos((2 * x + 1) * u * math.pi / 16) * (1 << FIX_BITS)) for x in range(8)])
    return table


DCT = dct_table()


def scaled_quant(base, quality):
    scale = 5000 // quality if quality < 50 else 200 - 2 * quality
    return [min(255, max(1, (q * scale + 50) // 100)) for q in base]


def quantized_block(samples, quant):
    """Forward DCT of 64 level-shifted samples, quantized, in zigzag order."""
    rows = [[sum(samples[y * 8 + x] * DCT[u][x] for x in range(8)) for u in range(8)] for y in range(8)]
    out = [0] * 64
    for v in range(8):
        for u in range(8):
            value = sum(DCT[v][y] * rows[y][u] for y in range(8))
            den = quant[v * 8 + u] << (2 * FIX_BITS)
            q = (abs(value) + den // 2) // den
            out[v * 8 + u] = q if value >= 0 else -q
    return [out[i] for i in ZIGZAG]


def magnitude(value):
    """The size category of a coefficient and its extra bits."""
    size = abs(value).bit_length()
    bits = value if value >= 0 else value + (1 << size) - 1
    return size, bits


def block_symbols(coefficients, previous_dc):
    """The (table, symbol, size, bits) steps of one block; table 0 is DC, 1 is AC."""
    size, bits = magnitude(coefficients[0] - previous_dc)
    steps = [(0, size, size, bits)]
    run = 0
    for value in coefficients[1:]:
        if value == 0:
            run += 1
            continue
        while run > 15:
            steps.append((1, 0xF0, 0, 0))
            run -= 16
        size, bits = magnitude(value)
        steps.append((1, (run << 4) | size, size, bits))
        run = 0
    if run:
        steps.append((1, 0x00, 0, 0))
    return steps


def huffman_table(counts):
    """(bits, values) of a code for the symbol counts, no code longer than 16 bits
    and none all ones (the standard's procedure: a reserved symbol takes that code)."""
    freq = dict(counts)
    freq[256] = 1
    size = {s: 0 for s in freq}
    others = {s: None for s in freq}
    while True:
        live = sorted((f, -s) for s, f in freq.items() if f > 0)
        if len(live) < 2:
            break
        v1, v2 = -live[0][1], -live[1][1]
        freq[v1] += freq[v2]
        freq[v2] = 0
        for v in (v1, v2):
            size[v] += 1
            while others[v] is not None:
                v = others[v]
                size[v] += 1
        tail = v1
        while others[tail] is not None:
            tail = others[tail]
        others[tail] = v2
    bits = [0] * 33
    for s in size:
        bits[size[s]] += 1 if size[s] else 0
    for i in range(32, 16, -1):
        while bits[i] > 0:
            j = i - 2
            while bits[j] == 0:
                j -= 1
            bits[i] -= 2
            bits[i - 1] += 1
            bits[j + 1] += 2
            bits[j] -= 1
    i = 16
    while bits[i] == 0:
        i -= 1
    bits[i] -= 1
    values = sorted((s for s in size if s != 256 and size[s] > 0), key=lambda s: (size[s], s))
    return bits[1:17], values


def code_map(bits, values):
    """Symbol to (code, length) for a canonical code."""
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[values[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.count = 0

    def put(self, value, length):
        self.acc = (self.acc << length) | (value & ((1 << length) - 1))
        self.count += length
        while self.count >= 8:
            self.count -= 8
            byte = (self.acc >> self.count) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)
        self.acc &= (1 << self.count) - 1

    def finish(self):
        if self.count:
            self.put((1 << (8 - self.count)) - 1, 8 - self.count)
        return bytes(self.out)


def planes(width, height, pixels):
    """Level-shifted Y (and Cb, Cr) planes, row-major."""
    if not isinstance(pixels[0][0], tuple):
        return [[v - 128 for row in pixels for v in row]]
    y, cb, cr = [], [], []
    for row in pixels:
        for r, g, b in row:
            y.append(((19595 * r + 38470 * g + 7471 * b + 32768) >> 16) - 128)
            cb.append(((-11059 * r - 21709 * g + 32768 * b + 32767) >> 16))
            cr.append(((32768 * r - 27439 * g - 5329 * b + 32767) >> 16))
    return [y, cb, cr]


def block_of(plane, width, bx, by):
    return [plane[(by * 8 + y) * width + bx * 8 + x] for y in range(8) for x in range(8)]


def segment(marker, payload):
    return struct.pack(">HH", marker, len(payload) + 2) + payload


def headers(width, height, quants, tables):
    out = b"\xff\xd8" + segment(0xFFE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
    for index, quant in enumerate(quants):
        out += segment(0xFFDB, bytes([index]) + bytes(quant[i] for i in ZIGZAG))
    count = len(quants) if len(quants) == 1 else 3
    components = b"".join(bytes([c + 1, 0x11, min(c, 1)]) for c in range(count))
    out += segment(0xFFC0, struct.pack(">BHHB", 8, height, width, count) + components)
    for (klass, index), (bits, values) in sorted(tables.items()):
        out += segment(0xFFC4, bytes([klass << 4 | index]) + bytes(bits) + bytes(values))
    selectors = b"".join(bytes([c + 1, min(c, 1) * 0x11]) for c in range(count))
    return out + segment(0xFFDA, bytes([count]) + selectors + b"\x00\x3f\x00")


def encode(width, height, pixels, quality=85):
    assert width % 8 == 0 and height % 8 == 0 and len(pixels) == height
    channels = planes(width, height, pixels)
    quants = [scaled_quant(LUMA_QUANT, quality), scaled_quant(CHROMA_QUANT, quality)][: min(len(channels), 2)]
    steps, previous = [], [0] * len(channels)
    for by in range(height // 8):
        for bx in range(width // 8):
            for c, plane in enumerate(channels):
                coefficients = quantized_block(block_of(plane, width, bx, by), quants[min(c, 1)])
                steps.extend((min(c, 1), step) for step in block_symbols(coefficients, previous[c]))
                previous[c] = coefficients[0]
    counts = {}
    for group, (klass, symbol, _, _) in steps:
        key = (klass, group)
        counts.setdefault(key, {})
        counts[key][symbol] = counts[key].get(symbol, 0) + 1
    tables = {key: huffman_table(c) for key, c in counts.items()}
    codes = {key: code_map(*table) for key, table in tables.items()}
    writer = BitWriter()
    for group, (klass, symbol, size, bits) in steps:
        code, length = codes[(klass, group)][symbol]
        writer.put(code, length)
        if size:
            writer.put(bits, size)
    return headers(width, height, quants, tables) + writer.finish() + b"\xff\xd9"
