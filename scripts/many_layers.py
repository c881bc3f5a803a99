#!/usr/bin/env python3
"""Writes a drawing document with many layers or many classes, for measuring
how the export's cost grows with their count.

  many_layers.py layers N OUT.json    N layers, each holding one triangle of its own class
  many_layers.py classes N OUT.json   one layer of N triangles, each of its own class

Both drawings hold N classes and N objects, a light every 100th object (so the
light ids and their nodes grow with N too) and no view. The same N always
gives the same bytes. Export them with `--mode 2 --host-dir` a copy of
examples/host, on a copy of the drawing (the export writes light ids back).
"""
import json
import sys

TEMPLATE_CLASSES = ["Brick", "Glass", "Wood", "Floor"]


def triangle(i, class_name):
    x = (i % 1000) * 1000.0
    y = (i // 1000) * 1000.0
    return {
        "type": "polygon",
        "class": class_name,
        "points": [[x, y, 0.0], [x + 800.0, y, 0.0], [x, y + 800.0, 300.0]],
    }


def light(i, class_name):
    return {
        "type": "light",
        "class": class_name,
        "name": "Light %d" % i,
        "properties": {"51": 1.0, "54": [i * 10.0, 0.0, 3000.0], "55": 1},
    }


def objects_for(i, class_name):
    objects = [triangle(i, class_name)]
    if i % 100 == 0:
        objects.append(light(i, class_name))
    return objects


def drawing(kind, n):
    # The first classes are named after the example templates, so that some
    # meshes take a template and a fixed id from examples/host.
    classes = (TEMPLATE_CLASSES + ["C%d" % i for i in range(len(TEMPLATE_CLASSES), n)])[:n]
    if kind == "layers":
        layers = [{"name": "L%d" % i, "elevation": float(i % 7), "objects": objects_for(i, classes[i])}
                  for i in range(n)]
    else:
        objects = []
        for i in range(n):
            objects.extend(objects_for(i, classes[i]))
        layers = [{"name": "L0", "objects": objects}]
    return {"pelmoraDrawing": 1, "classes": classes, "layers": layers}


def main(argv):
    if len(argv) != 4 or argv[1] not in ("layers", "classes") or not argv[2].isdigit() or int(argv[2]) < 1:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[3], "w", encoding="utf-8") as out:
        json.dump(drawing(argv[1], int(argv[2])), out, separators=(",", ":"))
        out.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
