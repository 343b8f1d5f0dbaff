#!/usr/bin/env python3
"""Writes the build workload of scripts/bench.sh: a manifest of 64 assets over the project's own
scene files (the Blender-made crates and rig of tests/data/artist, the bundled flag pin), as a game's
art build would list them.
  make_manifest.py SOURCE_DIR OUTDIR   -> OUTDIR/art.toml, outputs under OUTDIR/build"""
import os
import sys

source, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
os.makedirs(out, exist_ok=True)
artist = os.path.join(source, "tests", "data", "artist")
assets = []
for name in sorted(os.listdir(artist)):
    stem, ext = os.path.splitext(name)
    # The crates and the rig only: the folder's other scenes show single faults and hold no model.
    if ext not in (".fbx", ".glb", ".dae", ".obj") or not (stem.startswith("box_") or stem == "rig"):
        continue
    path = os.path.join(artist, name)
    tag = stem + "_" + ext[1:]
    if stem == "rig":
        assets.append((path, tag + ".VLO", 'mode = "hierarchy"\nselect = "Sleeve"'))
        assets.append((path, tag + "_swing.VLA", 'mode = "animation"'))
        assets.append((path, tag + "_file.VLO", 'mode = "hierarchy"\nselect = "Sleeve"\npose = "file"'))
    else:
        assets.append((path, tag + ".VLO", 'origin = "world"'))
        assets.append((path, tag + "_base.VLO", 'origin = "base"\nno-markers = true'))
flagpin = os.path.join(source, "samples", "flagpin.gltf")
variants = ['origin = "world"', 'origin = "base"', 'origin = "center"', 'origin = "pivot"', 'swap-yz = false',
            'collisions = false\nsemi-transparent = true', 'no-markers = true', 'remove-markers = ["FlagTop"]',
            'scale = "unit"', 'origin = "world"\nswap-yz = false', 'origin = "center"\nno-markers = true',
            'origin = "pivot"\nsemi-transparent = true', 'up = "z"', 'select = "FlagPin"', 'all = true',
            'origin = "world"\ncollisions = false']
for i, keys in enumerate(variants):
    assets.append((flagpin, "flagpin%d.VLO" % i, keys))
assets = assets[:64]
with open(os.path.join(out, "art.toml"), "w") as f:
    f.write("# %d assets over the project's scene files (bench/workloads/make_manifest.py)\n" % len(assets))
    f.write("[defaults]\ncreated-at = 0\n\n")
    for path, output, keys in assets:
        f.write('[[asset]]\ninput = "%s"\noutput = "build/%s"\n%s\n\n' % (path, output, keys))
print(len(assets), "assets")
