#!/usr/bin/env python3
"""Makes the sample house's texture images, procedurally, into examples/textures:

  floor_tiles.jpg  one 60 cm ceramic tile with half a grout joint on each edge (Floor.qmt)
  floor_bump.jpg   the same tile as a grey height map, joints low (Floor.qmt)
  oak_boards.jpg   one oak board of 1.2 m by 0.2 m with its end and side joints (Wood.qmt)

Each picture covers exactly the size its template gives and repeats without a
seam. Patterns use only exact arithmetic (no sin or exp), and the encoder is
integer arithmetic, so running this again gives the committed files byte for
byte. `--check` writes nothing and fails when a file differs from what it would
write.

  scripts/make_textures.py [--check] [FOLDER]
"""
import argparse
import math
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import jpeg_writer  # noqa: E402

TILE_PX = 256
BUMP_PX = 128
BOARD_W, BOARD_H = 512, 128


def hash01(ix, iy, seed):
    """A repeatable pseudo-random number in [0, 1) for a lattice point."""
    h = (ix * 374761393 + iy * 668265263 + seed * 2246822519) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    return ((h ^ (h >> 16)) & 0xFFFF) / 65536.0


def smooth(t):
    return t * t * (3.0 - 2.0 * t)


def noise(x, y, cells_x, cells_y, seed):
    """Value noise over a lattice of cells_x by cells_y that wraps, x and y in [0, 1)."""
    gx, gy = x * cells_x, y * cells_y
    ix, iy = math.floor(gx), math.floor(gy)
    fx, fy = smooth(gx - ix), smooth(gy - iy)

    def at(i, j):
        return hash01(i % cells_x, j % cells_y, seed)

    top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * fx
    bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * fx
    return top + (bottom - top) * fy


def wave(t):
    """A smooth wave of period 1 between -1 and 1, from a cubic (no libm)."""
    tri = abs(2.0 * (t - math.floor(t)) - 1.0)
    return 2.0 * smooth(tri) - 1.0


def mix(a, b, t):
    return tuple(p + (q - p) * t for p, q in zip(a, b))


def to_byte(v):
    return min(255, max(0, math.floor(v + 0.5)))


def joint_depth(x, y, width):
    """0 on the tile's face, 1 in the grout joint at its edges, a rounded edge between."""
    edge = min(x, 1.0 - x, y, 1.0 - y)
    if edge < width:
        return 1.0
    if edge < 2.0 * width:
        return 1.0 - smooth((edge - width) / width)
    return 0.0


def floor_tile_pixel(x, y):
    face = (216.0, 207.0, 190.0)
    grout = (128.0, 122.0, 114.0)
    cloud = noise(x, y, 4, 4, 1) * 0.6 + noise(x, y, 16, 16, 2) * 0.4
    speck = noise(x, y, 64, 64, 3)
    colour = mix(face, (196.0, 184.0, 165.0), cloud * 0.8)
    if speck > 0.8:
        colour = mix(colour, (160.0, 150.0, 134.0), (speck - 0.8) * 2.5)
    colour = mix(colour, grout, joint_depth(x, y, 0.012))
    return tuple(to_byte(c) for c in colour)


def floor_bump_pixel(x, y):
    return to_byte(235.0 - 200.0 * joint_depth(x, y, 0.012) - 12.0 * noise(x, y, 16, 16, 2))


def oak_pixel(x, y):
    """x along the board's length, y across it, both in [0, 1)."""
    # Growth rings run along the board, bent by slow waves; 8 of them across its width.
    bend = 0.035 * wave(x * 2 + 0.3 * noise(x, y, 6, 2, 4)) + 0.02 * noise(x, y, 12, 3, 5)
    ring = (y + bend) * 8.0 + 0.8 * noise(x, y, 5, 4, 9)
    late = smooth(max(0.0, wave(ring)) ** 2)
    fibre = noise(x, y, 96, 48, 6)
    tone = noise(x, y, 3, 1, 7)
    light, dark = (172.0, 128.0, 66.0), (118.0, 80.0, 36.0)
    colour = mix(light, dark, min(1.0, 0.15 + 0.55 * late + 0.25 * fibre + 0.2 * tone))
    pore = noise(x, y, 160, 40, 8)
    if pore > 0.85:
        colour = mix(colour, (96.0, 64.0, 30.0), (pore - 0.85) * 3.0)
    # The joints: the board's end at x = 0 and its long edge at y = 0, each 3 mm wide.
    end_gap = min(x, 1.0 - x) * 1200.0 / 1.5
    side_gap = min(y, 1.0 - y) * 200.0 / 1.5
    gap = max(0.0, 1.0 - min(end_gap, side_gap))
    return tuple(to_byte(c) for c in mix(colour, (60.0, 40.0, 20.0), gap))


def image(width, height, pixel):
    return [[pixel((i + 0.5) / width, (j + 0.5) / height) for i in range(width)] for j in range(height)]


def textures():
    """File name to JPEG bytes."""
    return {
        "floor_tiles.jpg": jpeg_writer.encode(TILE_PX, TILE_PX, image(TILE_PX, TILE_PX, floor_tile_pixel)),
        "floor_bump.jpg": jpeg_writer.encode(BUMP_PX, BUMP_PX, image(BUMP_PX, BUMP_PX, floor_bump_pixel)),
        "oak_boards.jpg": jpeg_writer.encode(BOARD_W, BOARD_H, image(BOARD_W, BOARD_H, oak_pixel)),
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder", nargs="?", default=str(Path(__file__).resolve().parent.parent / "examples/textures"))
    parser.add_argument("--check", action="store_true", help="compare with the files in FOLDER, write nothing")
    args = parser.parse_args()
    folder = Path(args.folder)
    differing = []
    for name, data in textures().items():
        path = folder / name
        if args.check:
            if not path.is_file() or path.read_bytes() != data:
                differing.append(str(path))
        else:
            folder.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
    if differing:
        print("make_textures: these files are not what the script makes; run scripts/make_textures.py and commit:",
              *differing, sep="\n  ", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
