#!/usr/bin/env python3
"""Writes a larger drawing document for the byte comparison of the Linux and
Windows exports: a terrain of N x N quads over four classes, a few walls as
converted objects, named and unnamed lights and a perspective view. Every
coordinate has a full double's digits, so that any difference in how the two
builds compute floats shows in the file's bytes.

    make_drawing.py N > terrain.json
"""
import json
import math
import sys


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 120
    step = 250.0
    classes = ["None", "Brick", "Glass", "Wood", "Floor"]

    def height(i, j):
        return 900.0 * math.sin(i / 7.3) * math.cos(j / 5.1) + 37.0 * math.sin(i * j / 97.0)

    tiles = []
    for i in range(n):
        for j in range(n):
            corners = [(i, j), (i + 1, j), (i + 1, j + 1), (i, j + 1)]
            tiles.append({
                "type": "polygon",
                "class": classes[1 + (i // 8 + j // 8) % 4],
                "points": [[a * step + 0.1 * b, b * step - 0.07 * a, height(a, b)] for a, b in corners],
            })
    walls = []
    for k in range(12):
        x = 1000.0 + k * 1733.3
        walls.append({
            "type": 68, "class": "Brick", "name": "wall %d" % k,
            "polygons": [
                {"points": [[x, 0, 0], [x + 1200.5, 0, 0], [x + 1200.5, 0, 2600.25], [x, 0, 2600.25]]},
                {"members": [{"class": "Glass",
                              "points": [[x + 300, 1, 900], [x + 900, 1, 900], [x + 900, 1, 2100]]}]},
            ],
        })
    lights = []
    for k in range(6):
        light = {
            "type": "light",
            "properties": {"50": True, "51": 0.5 + k / 10.0, "52": [1.0, 0.9 - k / 50.0, 0.8],
                           "53": False, "54": [k * 3100.7, 2000.3 * k, 3000.0 + 17.1 * k],
                           "55": k % 3, "56": [math.sin(k), math.cos(k), -1.0],
                           "61": 20.0 + k, "62": 40.0 + k},
        }
        if k % 2 == 0:
            light["name"] = "Lamp %d" % k
        lights.append(light)
    drawing = {
        "pelmoraDrawing": 1,
        "unitsPerInch": 25.4,
        "classes": classes,
        "view": {"perspective": True,
                 "rotation": [[0.786318, -0.145041, 0.600555], [0.617822, 0.184598, -0.764343],
                              [0.0, 0.972053, 0.234762]],
                 "origin": [-4998.738011, -2112.144942, -625.669274], "distance": 38316.386106,
                 "focal": 1.0, "box": [-0.483055, -0.483055, 0.483055, 0.483055]},
        "layers": [{"name": "Terrain", "objects": tiles},
                   {"name": "Walls", "objects": walls},
                   {"name": "Lights", "objects": lights}],
    }
    json.dump(drawing, sys.stdout, separators=(",", ":"))
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
