#!/usr/bin/env python3
"""Builds the monster: a hunched, long-limbed creature about 5.5 units tall,
skinned to a 20-joint skeleton with a one-second looping walk.

Writes Assets/enemy_rigged.dae (Collada 1.4.1, Z up, feet on z = 0, facing +Y)
and its texture Assets/Textures/monster_skin.png.

Usage: tools/make_monster.py [--out DIR]   (DIR defaults to the repository root)

Standard library only, and every number is written with fixed rounding, so any
Python 3 reproduces the committed files byte for byte.
"""

import argparse
import math
import os
import struct
import zlib

TEXTURE_SIZE = 256
TEXTURE_REL = "Textures/monster_skin.png"  # relative to the model's folder
WALK_SECONDS = 1.0
WALK_KEYS = 16  # key intervals per cycle; the last key repeats the first

# Small uniform patches in the texture's top strip (v above SKIN_V_MAX), one
# colour each, for the parts that must not look like skin.
SKIN_V_MAX = 0.86
PATCH_EYE, PATCH_MOUTH, PATCH_TOOTH = 0, 1, 2
PATCH_COLOURS = {PATCH_EYE: (236, 226, 150), PATCH_MOUTH: (34, 6, 8), PATCH_TOOTH: (214, 204, 176)}
PATCH_PIXELS = 32


def patch_uv(patch):
    half = PATCH_PIXELS / 2.0
    return ((patch * PATCH_PIXELS + half) / TEXTURE_SIZE, 1.0 - half / TEXTURE_SIZE)


# --- Small vector helpers ------------------------------------------------------


def add(a, b):
    return (a[0] + b[0], a[1] + b[1], a[2] + b[2])


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def mul(a, s):
    return (a[0] * s, a[1] * s, a[2] * s)


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def length(a):
    return math.sqrt(dot(a, a))


def normalize(a):
    n = length(a)
    return mul(a, 1.0 / n) if n > 1e-12 else (0.0, 0.0, 1.0)


def lerp(a, b, t):
    return add(a, mul(sub(b, a), t))


def smoothstep(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3.0 - 2.0 * t)


# --- Skeleton ----------------------------------------------------------------------

# name, parent, bind position in model space. Bind transforms are pure
# translations, so every joint's axes are the model's: +X to the creature's
# left (the "_L" joints), +Y backwards, +Z up.
JOINTS = [
    ("Hips", None, (0.0, 0.0, 2.55)),
    ("Spine", "Hips", (0.0, -0.05, 2.95)),
    ("Chest", "Spine", (0.0, -0.4, 3.65)),
    ("Neck", "Chest", (0.0, -0.85, 4.45)),
    ("Head", "Neck", (0.0, -1.2, 4.75)),
    ("Jaw", "Head", (0.0, -1.35, 4.62)),
]
for side, sx in (("L", 1.0), ("R", -1.0)):
    JOINTS += [
        ("Clavicle_" + side, "Chest", (sx * 0.2, -0.6, 4.2)),
        ("UpperArm_" + side, "Clavicle_" + side, (sx * 0.85, -0.62, 4.22)),
        ("Forearm_" + side, "UpperArm_" + side, (sx * 1.05, -0.85, 3.0)),
        ("Hand_" + side, "Forearm_" + side, (sx * 1.12, -1.05, 1.72)),
        ("Thigh_" + side, "Hips", (sx * 0.42, 0.0, 2.45)),
        ("Shin_" + side, "Thigh_" + side, (sx * 0.5, -0.2, 1.32)),
        ("Foot_" + side, "Shin_" + side, (sx * 0.52, 0.12, 0.28)),
    ]
JOINT_INDEX = {name: i for i, (name, _, _) in enumerate(JOINTS)}
JOINT_POS = {name: pos for name, _, pos in JOINTS}
JOINT_PARENT = {name: parent for name, parent, _ in JOINTS}

# --- Mesh building -------------------------------------------------------------


class MeshBuilder:
    """One skinned triangle mesh; each vertex carries up to 4 (joint, weight) pairs."""

    def __init__(self):
        self.positions = []
        self.uvs = []
        self.weights = []
        self.triangles = []
        self.normals = []

    def add_part(self, positions, uvs, weights, triangles):
        """Adds one closed surface. Its winding is made outward (positive
        enclosed volume) and its normals are averaged over shared positions,
        so UV seams and poles stay smooth."""
        volume = 0.0
        for a, b, c in triangles:
            volume += dot(positions[a], cross(positions[b], positions[c]))
        if volume < 0.0:
            triangles = [(a, c, b) for a, b, c in triangles]
        acc = {}
        keys = [tuple(round(v, 5) for v in p) for p in positions]
        for a, b, c in triangles:
            n = cross(sub(positions[b], positions[a]), sub(positions[c], positions[a]))
            for i in (a, b, c):
                acc[keys[i]] = add(acc.get(keys[i], (0.0, 0.0, 0.0)), n)
        base = len(self.positions)
        self.positions += positions
        self.uvs += uvs
        self.weights += weights
        self.normals += [normalize(acc[k]) for k in keys]
        self.triangles += [(a + base, b + base, c + base) for a, b, c in triangles if len({a, b, c}) == 3]


def ring_frame(d, ref):
    u = normalize(sub(ref, mul(d, dot(ref, d))))
    w = cross(d, u)
    return u, w


def blend(a, b, t):
    """Weights moving from joint a (t = 0) to joint b (t = 1)."""
    if a == b or t <= 0.0:
        return [(a, 1.0)]
    if t >= 1.0:
        return [(b, 1.0)]
    return [(a, 1.0 - t), (b, t)]


def tube(mesh, points, sides, ref, rings_per_segment=4, v_range=(0.02, SKIN_V_MAX - 0.02)):
    """A closed generalised cylinder along `points`, each (position, radius_u,
    radius_w, joint). Rings between two points belong to the first point's
    joint and blend half-way into the next one's at the shared point; both ends
    are closed with a pole."""
    centres, radii, weights = [], [], []
    segments = len(points) - 1
    for k in range(segments):
        p0, ru0, rw0, j0 = points[k]
        p1, ru1, rw1, j1 = points[k + 1]
        prev_joint = points[k - 1][3] if k > 0 else j0
        for r in range(rings_per_segment + (1 if k == segments - 1 else 0)):
            s = r / float(rings_per_segment)
            bulge = 1.0 + 0.12 * math.sin(math.pi * s)
            centres.append(lerp(p0, p1, s))
            radii.append(((ru0 + (ru1 - ru0) * s) * bulge, (rw0 + (rw1 - rw0) * s) * bulge))
            if s < 0.3 and prev_joint != j0:
                weights.append(blend(prev_joint, j0, 0.5 + 0.5 * smoothstep(0.0, 0.3, s)))
            elif s > 0.7 and j1 != j0:
                weights.append(blend(j0, j1, 0.5 * smoothstep(0.7, 1.0, s)))
            else:
                weights.append([(j0, 1.0)])
    positions, uvs, wts, tris = [], [], [], []
    n_rings = len(centres)
    for i in range(n_rings):
        d = normalize(sub(centres[min(i + 1, n_rings - 1)], centres[max(i - 1, 0)]))
        u, w = ring_frame(d, ref)
        v = v_range[0] + (v_range[1] - v_range[0]) * i / (n_rings - 1)
        for j in range(sides + 1):
            a = 2.0 * math.pi * (j % sides) / sides
            offset = add(mul(u, radii[i][0] * math.cos(a)), mul(w, radii[i][1] * math.sin(a)))
            positions.append(add(centres[i], offset))
            uvs.append((j / float(sides), v))
            wts.append(weights[i])
    row = sides + 1
    for i in range(n_rings - 1):
        for j in range(sides):
            a, b = i * row + j, i * row + j + 1
            c, d2 = a + row, b + row
            tris += [(a, b, d2), (a, d2, c)]
    # Poles, pushed a little past the end rings so the ends are rounded.
    for end, ring in ((0, 0), (1, n_rings - 1)):
        d = normalize(sub(centres[-1], centres[-2])) if end else normalize(sub(centres[0], centres[1]))
        tip = add(centres[ring], mul(d, 0.6 * min(radii[ring])))
        pole = len(positions)
        positions.append(tip)
        uvs.append((0.5, v_range[1] if end else v_range[0]))
        wts.append(weights[ring])
        for j in range(sides):
            a, b = ring * row + j, ring * row + j + 1
            tris.append((a, b, pole))
    mesh.add_part(positions, uvs, wts, tris)


def ellipsoid(mesh, centre, radii, joint_of, slices=16, stacks=10, uv=None, squash=None):
    """A closed ellipsoid. `joint_of(position)` gives each vertex's weights;
    `uv` pins every vertex to one texture point (the small colour patches);
    `squash(position)` may reshape a vertex."""
    positions, uvs, wts, tris = [], [], [], []
    for i in range(stacks + 1):
        theta = math.pi * i / stacks
        for j in range(slices + 1):
            phi = 2.0 * math.pi * (j % slices) / slices
            local = (radii[0] * math.sin(theta) * math.cos(phi), radii[1] * math.sin(theta) * math.sin(phi),
                     radii[2] * math.cos(theta))
            p = add(centre, local)
            if squash:
                p = squash(p)
            positions.append(p)
            uvs.append(uv if uv else (j / float(slices), 0.02 + (SKIN_V_MAX - 0.04) * (1.0 - i / float(stacks))))
            wts.append(joint_of(p))
    row = slices + 1
    for i in range(stacks):
        for j in range(slices):
            a, b = i * row + j, i * row + j + 1
            c, d = a + row, b + row
            if i > 0:
                tris.append((a, b, d))
            if i < stacks - 1:
                tris.append((a, d, c))
    mesh.add_part(positions, uvs, wts, tris)


def cone(mesh, base, tip, radius, joint, sides=6, uv=None):
    """A claw or tooth: a closed cone from a round base to a point."""
    d = normalize(sub(tip, base))
    u, w = ring_frame(d, (0.0, 0.0, 1.0) if abs(d[2]) < 0.9 else (1.0, 0.0, 0.0))
    positions = [base, tip]
    uvs = [uv or (0.5, 0.1), uv or (0.5, 0.8)]
    for j in range(sides):
        a = 2.0 * math.pi * j / sides
        positions.append(add(base, add(mul(u, radius * math.cos(a)), mul(w, radius * math.sin(a)))))
        uvs.append(uv or (j / float(sides), 0.1))
    tris = []
    for j in range(sides):
        a, b = 2 + j, 2 + (j + 1) % sides
        tris += [(a, b, 1), (b, a, 0)]
    mesh.add_part(positions, uvs, [[(joint, 1.0)]] * len(positions), tris)


def build_mesh():
    mesh = MeshBuilder()
    P = JOINT_POS
    X, Y = (1.0, 0.0, 0.0), (0.0, 1.0, 0.0)

    # Torso: narrow hips, a thin waist, a broad hunched back rising to the neck.
    tube(mesh, [
        ((0.0, 0.05, 2.15), 0.42, 0.34, "Hips"),
        (P["Spine"], 0.46, 0.36, "Spine"),
        ((0.0, -0.2, 3.3), 0.38, 0.32, "Spine"),
        (P["Chest"], 0.66, 0.5, "Chest"),
        ((0.0, -0.62, 4.15), 0.7, 0.55, "Chest"),
        (P["Neck"], 0.3, 0.28, "Neck"),
        (P["Head"], 0.2, 0.2, "Head"),
    ], sides=16, ref=X, rings_per_segment=3)

    # Ribs showing through the back: a row of bony ridges on the hump.
    for k in range(4):
        z = 3.55 + 0.16 * k
        y = -0.08 - 0.22 * k + 0.02 * k * k
        ellipsoid(mesh, (0.0, y + 0.34, z), (0.1, 0.08, 0.07), lambda p: [("Chest", 1.0)], slices=8, stacks=5)

    # Skull: long, narrow and tilted forward, with a hinged jaw beneath.
    def skull_weights(p):
        return [("Head", 1.0)]

    ellipsoid(mesh, (0.0, -1.45, 4.92), (0.32, 0.5, 0.4), skull_weights, slices=18, stacks=12)
    ellipsoid(mesh, (0.0, -1.62, 4.6), (0.24, 0.34, 0.12), lambda p: [("Jaw", 1.0)], slices=14, stacks=8)
    ellipsoid(mesh, (0.0, -1.6, 4.7), (0.2, 0.3, 0.12), lambda p: [("Head", 1.0)], slices=10, stacks=6,
              uv=patch_uv(PATCH_MOUTH))
    for sx in (1.0, -1.0):
        ellipsoid(mesh, (sx * 0.14, -1.87, 4.98), (0.075, 0.06, 0.05), lambda p: [("Head", 1.0)], slices=10,
                  stacks=6, uv=patch_uv(PATCH_EYE))
    for k in range(5):
        x = -0.16 + 0.08 * k
        top = -1.84 + 0.06 * abs(k - 2)
        cone(mesh, (x, top, 4.69), (x, top - 0.02, 4.55), 0.03, "Head", uv=patch_uv(PATCH_TOOTH))
        cone(mesh, (x + 0.04, top + 0.02, 4.63), (x + 0.04, top, 4.74), 0.025, "Jaw", uv=patch_uv(PATCH_TOOTH))

    for side, sx in (("L", 1.0), ("R", -1.0)):
        def j(name):
            return name + "_" + side

        # Shoulder and arm: bony, reaching down past the knees.
        tube(mesh, [
            (P[j("Clavicle")], 0.22, 0.2, j("Clavicle")),
            (P[j("UpperArm")], 0.22, 0.2, j("UpperArm")),
            (P[j("Forearm")], 0.13, 0.12, j("Forearm")),
            (P[j("Hand")], 0.09, 0.08, j("Hand")),
            (add(P[j("Hand")], (sx * 0.02, -0.1, -0.3)), 0.14, 0.05, j("Hand")),
        ], sides=10, ref=Y)
        # Three long claws per hand, slightly curled forward.
        knuckle = add(P[j("Hand")], (sx * 0.02, -0.1, -0.3))
        for k in (-1, 0, 1):
            base = add(knuckle, (sx * 0.07 * k, 0.0, -0.02))
            mid = add(base, (sx * 0.05 * k, -0.08, -0.32))
            cone(mesh, base, mid, 0.04, j("Hand"))
            cone(mesh, add(mid, (0.0, 0.01, 0.02)), add(mid, (sx * 0.02 * k, -0.18, -0.2)), 0.03, j("Hand"),
                 uv=patch_uv(PATCH_TOOTH))

        # Leg: long thigh, thin shin, a flat foot ending in toe claws.
        tube(mesh, [
            (P[j("Thigh")], 0.3, 0.3, j("Thigh")),
            (P[j("Shin")], 0.17, 0.17, j("Shin")),
            (P[j("Foot")], 0.12, 0.12, j("Foot")),
            (add(P[j("Foot")], (0.0, -0.55, -0.2)), 0.14, 0.06, j("Foot")),
        ], sides=10, ref=X)
        toe = add(P[j("Foot")], (0.0, -0.55, -0.2))
        for k in (-1, 0, 1):
            base = add(toe, (sx * 0.08 * k, 0.0, 0.0))
            cone(mesh, base, add(base, (sx * 0.03 * k, -0.22, -0.05)), 0.035, j("Foot"), uv=patch_uv(PATCH_TOOTH))
    return mesh


# --- Walk cycle ------------------------------------------------------------------


def walk_pose(phase):
    """Local animated (translation offset, (pitch, roll, yaw) in degrees) per
    joint at `phase` radians of the cycle. Pitch is about X (positive swings a
    hanging limb backwards), roll about Y, yaw about Z."""
    s, c = math.sin(phase), math.cos(phase)
    pose = {name: ((0.0, 0.0, 0.0), (0.0, 0.0, 0.0)) for name, _, _ in JOINTS}
    pose["Hips"] = ((0.0, 0.0, -0.07 * math.cos(2.0 * phase)), (2.0, 4.0 * s, 7.0 * s))
    pose["Spine"] = ((0.0, 0.0, 0.0), (3.0, -2.0 * s, -4.0 * s))
    pose["Chest"] = ((0.0, 0.0, 0.0), (2.0 + 2.0 * math.cos(2.0 * phase), -3.0 * s, -5.0 * s))
    pose["Neck"] = ((0.0, 0.0, 0.0), (-6.0, 0.0, 3.0 * s))
    # A crooked, twitching head.
    pose["Head"] = ((0.0, 0.0, 0.0), (-4.0 + 3.0 * math.sin(2.0 * phase), 14.0 + 5.0 * math.sin(3.0 * phase),
                                      4.0 * s))
    pose["Jaw"] = ((0.0, 0.0, 0.0), (8.0 + 10.0 * (0.5 + 0.5 * math.sin(2.0 * phase)), 0.0, 0.0))
    for side, sign in (("L", 1.0), ("R", -1.0)):
        leg = sign * s  # > 0: this leg is in front
        swing = 0.5 + 0.5 * sign * c  # 1 while this leg swings forward
        thigh = -5.0 - 28.0 * leg
        shin = 8.0 + 40.0 * swing * swing
        pose["Thigh_" + side] = ((0.0, 0.0, 0.0), (thigh, 0.0, 0.0))
        pose["Shin_" + side] = ((0.0, 0.0, 0.0), (shin, 0.0, 0.0))
        pose["Foot_" + side] = ((0.0, 0.0, 0.0), (-0.6 * (thigh + shin), 0.0, 0.0))
        pose["Clavicle_" + side] = ((0.0, 0.0, 0.0), (0.0, sign * 3.0 * leg, 0.0))
        pose["UpperArm_" + side] = ((0.0, 0.0, 0.0), (2.0 + 20.0 * leg, -sign * 6.0, 0.0))
        pose["Forearm_" + side] = ((0.0, 0.0, 0.0), (-10.0 - 10.0 * math.sin(phase * sign + 0.7), 0.0, 0.0))
        pose["Hand_" + side] = ((0.0, 0.0, 0.0), (-10.0 - 8.0 * math.sin(phase * sign + 1.4), 0.0, 0.0))
    return pose


def mat_mul(a, b):
    return [sum(a[r * 4 + k] * b[k * 4 + c] for k in range(4)) for r in range(4) for c in range(4)]


def translation(t):
    return [1.0, 0.0, 0.0, t[0], 0.0, 1.0, 0.0, t[1], 0.0, 0.0, 1.0, t[2], 0.0, 0.0, 0.0, 1.0]


def rotation(pitch, roll, yaw):
    """Rz(yaw) * Ry(roll) * Rx(pitch), degrees, row-major 4x4."""
    x, y, z = (math.radians(v) for v in (pitch, roll, yaw))
    rx = [1, 0, 0, 0, 0, math.cos(x), -math.sin(x), 0, 0, math.sin(x), math.cos(x), 0, 0, 0, 0, 1]
    ry = [math.cos(y), 0, math.sin(y), 0, 0, 1, 0, 0, -math.sin(y), 0, math.cos(y), 0, 0, 0, 0, 1]
    rz = [math.cos(z), -math.sin(z), 0, 0, math.sin(z), math.cos(z), 0, 0, 0, 0, 1, 0, 0, 0, 0, 1]
    return mat_mul(rz, mat_mul(ry, rx))


def bind_offset(name):
    parent = JOINT_PARENT[name]
    return sub(JOINT_POS[name], JOINT_POS[parent]) if parent else JOINT_POS[name]


def local_matrix(name, pose):
    offset, angles = pose[name]
    return mat_mul(translation(add(bind_offset(name), offset)), rotation(*angles))


# The creature is built facing -Y and written turned half round, facing +Y.
# The game stands the file upright (a quarter turn about X) and the enemy adds
# a half turn about the vertical, which leaves it facing the world's +Z: the
# direction of its first walk from waypoint 0 to waypoint 1. Its turns at the
# waypoints are relative, so it walks face first only if it starts that way.
HALF_TURN = [-1.0, 0.0, 0.0, 0.0, 0.0, -1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0]


def turned(p):
    return (-p[0], -p[1], p[2])


def turned_matrix(m):
    return mat_mul(HALF_TURN, mat_mul(m, HALF_TURN))


# --- Output ------------------------------------------------------------------------


def fmt(x):
    """Fixed rounding, no negative zero: the same text from any Python 3."""
    s = "%.6f" % x
    s = s.rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


def fmt_list(values, per_line):
    values = [fmt(v) for v in values]
    lines = [" ".join(values[i:i + per_line]) for i in range(0, len(values), per_line)]
    return "\n".join(lines)


def write_dae(mesh, path):
    positions = [turned(p) for p in mesh.positions]
    normals = [turned(n) for n in mesh.normals]
    nv = len(positions)
    njoints = len(JOINTS)
    out = []
    w = out.append
    w('<?xml version="1.0" encoding="utf-8"?>')
    w('<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">')
    w('  <asset>')
    w('    <contributor><authoring_tool>Vestrel make_monster.py</authoring_tool></contributor>')
    w('    <created>2024-01-01T00:00:00</created>')
    w('    <modified>2024-01-01T00:00:00</modified>')
    w('    <unit name="meter" meter="1"/>')
    w('    <up_axis>Z_UP</up_axis>')
    w('  </asset>')

    w('  <library_images>')
    w('    <image id="monster-skin-image" name="monster-skin-image"><init_from>%s</init_from></image>' % TEXTURE_REL)
    w('  </library_images>')
    w('  <library_effects>')
    w('    <effect id="monster-effect">')
    w('      <profile_COMMON>')
    w('        <newparam sid="skin-surface"><surface type="2D"><init_from>monster-skin-image</init_from>'
      '</surface></newparam>')
    w('        <newparam sid="skin-sampler"><sampler2D><source>skin-surface</source></sampler2D></newparam>')
    w('        <technique sid="common">')
    w('          <phong>')
    w('            <emission><color sid="emission">0 0 0 1</color></emission>')
    w('            <ambient><color sid="ambient">0 0 0 1</color></ambient>')
    w('            <diffuse><texture texture="skin-sampler" texcoord="CHANNEL0"/></diffuse>')
    w('            <specular><color sid="specular">0.25 0.22 0.2 1</color></specular>')
    w('            <shininess><float sid="shininess">24</float></shininess>')
    w('          </phong>')
    w('        </technique>')
    w('      </profile_COMMON>')
    w('    </effect>')
    w('  </library_effects>')
    w('  <library_materials>')
    w('    <material id="monster-material" name="monster"><instance_effect url="#monster-effect"/></material>')
    w('  </library_materials>')

    w('  <library_geometries>')
    w('    <geometry id="monster-mesh" name="monster">')
    w('      <mesh>')
    for sid, data, stride, params in (
            ("positions", [c for p in positions for c in p], 3, "XYZ"),
            ("normals", [c for n in normals for c in n], 3, "XYZ"),
            ("uvs", [c for t in mesh.uvs for c in t], 2, "ST")):
        w('        <source id="monster-mesh-%s">' % sid)
        w('          <float_array id="monster-mesh-%s-array" count="%d">' % (sid, len(data)))
        w(fmt_list(data, stride))
        w('          </float_array>')
        w('          <technique_common>')
        w('            <accessor source="#monster-mesh-%s-array" count="%d" stride="%d">' % (sid, nv, stride))
        for p in params:
            w('              <param name="%s" type="float"/>' % p)
        w('            </accessor>')
        w('          </technique_common>')
        w('        </source>')
    w('        <vertices id="monster-mesh-vertices">')
    w('          <input semantic="POSITION" source="#monster-mesh-positions"/>')
    w('        </vertices>')
    w('        <triangles material="monster-material" count="%d">' % len(mesh.triangles))
    w('          <input semantic="VERTEX" source="#monster-mesh-vertices" offset="0"/>')
    w('          <input semantic="NORMAL" source="#monster-mesh-normals" offset="0"/>')
    w('          <input semantic="TEXCOORD" source="#monster-mesh-uvs" offset="0" set="0"/>')
    w('          <p>')
    w("\n".join(" ".join(str(i) for i in t) for t in mesh.triangles))
    w('          </p>')
    w('        </triangles>')
    w('      </mesh>')
    w('    </geometry>')
    w('  </library_geometries>')

    # Skin: bind shape is the identity, so each inverse bind matrix undoes the
    # joint's bind translation.
    weights_flat, vcount, vpairs = [], [], []
    for vw in mesh.weights:
        vcount.append(len(vw))
        for joint, weight in vw:
            vpairs += [JOINT_INDEX[joint], len(weights_flat)]
            weights_flat.append(weight)
    inv_bind = []
    for name, _, pos in JOINTS:
        inv_bind += translation(mul(turned(pos), -1.0))
    w('  <library_controllers>')
    w('    <controller id="monster-skin" name="monster-skin">')
    w('      <skin source="#monster-mesh">')
    w('        <bind_shape_matrix>1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</bind_shape_matrix>')
    w('        <source id="monster-skin-joints">')
    w('          <Name_array id="monster-skin-joints-array" count="%d">%s</Name_array>' %
      (njoints, " ".join(name for name, _, _ in JOINTS)))
    w('          <technique_common><accessor source="#monster-skin-joints-array" count="%d" stride="1">'
      '<param name="JOINT" type="name"/></accessor></technique_common>' % njoints)
    w('        </source>')
    w('        <source id="monster-skin-bind-poses">')
    w('          <float_array id="monster-skin-bind-poses-array" count="%d">' % (16 * njoints))
    w(fmt_list(inv_bind, 16))
    w('          </float_array>')
    w('          <technique_common><accessor source="#monster-skin-bind-poses-array" count="%d" stride="16">'
      '<param name="TRANSFORM" type="float4x4"/></accessor></technique_common>' % njoints)
    w('        </source>')
    w('        <source id="monster-skin-weights">')
    w('          <float_array id="monster-skin-weights-array" count="%d">' % len(weights_flat))
    w(fmt_list(weights_flat, 16))
    w('          </float_array>')
    w('          <technique_common><accessor source="#monster-skin-weights-array" count="%d" stride="1">'
      '<param name="WEIGHT" type="float"/></accessor></technique_common>' % len(weights_flat))
    w('        </source>')
    w('        <joints>')
    w('          <input semantic="JOINT" source="#monster-skin-joints"/>')
    w('          <input semantic="INV_BIND_MATRIX" source="#monster-skin-bind-poses"/>')
    w('        </joints>')
    w('        <vertex_weights count="%d">' % nv)
    w('          <input semantic="JOINT" source="#monster-skin-joints" offset="0"/>')
    w('          <input semantic="WEIGHT" source="#monster-skin-weights" offset="1"/>')
    w('          <vcount>%s</vcount>' % " ".join(str(c) for c in vcount))
    # Assimp 5.2 crashes on a <v> whose text starts with a line break.
    w('          <v>%s</v>' % "\n".join(" ".join(str(i) for i in vpairs[k:k + 16]) for k in range(0, len(vpairs), 16)))
    w('        </vertex_weights>')
    w('      </skin>')
    w('    </controller>')
    w('  </library_controllers>')

    # One animation holding a matrix channel per joint. Keys are evenly spaced
    # and the last repeats the first exactly, so the loop has no seam.
    times = [WALK_SECONDS * k / WALK_KEYS for k in range(WALK_KEYS + 1)]
    poses = [walk_pose(2.0 * math.pi * (k % WALK_KEYS) / WALK_KEYS) for k in range(WALK_KEYS + 1)]
    nkeys = len(times)
    w('  <library_animations>')
    w('    <animation id="walk" name="walk">')
    for name, _, _ in JOINTS:
        base = "walk-%s" % name
        w('      <source id="%s-input">' % base)
        w('        <float_array id="%s-input-array" count="%d">%s</float_array>' %
          (base, nkeys, " ".join(fmt(t) for t in times)))
        w('        <technique_common><accessor source="#%s-input-array" count="%d" stride="1">'
          '<param name="TIME" type="float"/></accessor></technique_common>' % (base, nkeys))
        w('      </source>')
        w('      <source id="%s-output">' % base)
        w('        <float_array id="%s-output-array" count="%d">' % (base, 16 * nkeys))
        w(fmt_list([v for pose in poses for v in turned_matrix(local_matrix(name, pose))], 16))
        w('        </float_array>')
        w('        <technique_common><accessor source="#%s-output-array" count="%d" stride="16">'
          '<param name="TRANSFORM" type="float4x4"/></accessor></technique_common>' % (base, nkeys))
        w('      </source>')
        w('      <source id="%s-interpolation">' % base)
        w('        <Name_array id="%s-interpolation-array" count="%d">%s</Name_array>' %
          (base, nkeys, " ".join(["LINEAR"] * nkeys)))
        w('        <technique_common><accessor source="#%s-interpolation-array" count="%d" stride="1">'
          '<param name="INTERPOLATION" type="name"/></accessor></technique_common>' % (base, nkeys))
        w('      </source>')
        w('      <sampler id="%s-sampler">' % base)
        w('        <input semantic="INPUT" source="#%s-input"/>' % base)
        w('        <input semantic="OUTPUT" source="#%s-output"/>' % base)
        w('        <input semantic="INTERPOLATION" source="#%s-interpolation"/>' % base)
        w('      </sampler>')
        w('      <channel source="#%s-sampler" target="%s/transform"/>' % (base, name))
    w('    </animation>')
    w('  </library_animations>')

    w('  <library_visual_scenes>')
    w('    <visual_scene id="Scene" name="Scene">')
    children = {}
    for name, parent, _ in JOINTS:
        children.setdefault(parent, []).append(name)

    def write_joint(name, depth):
        pad = "  " * depth
        w('%s<node id="%s" name="%s" sid="%s" type="JOINT">' % (pad, name, name, name))
        w('%s  <matrix sid="transform">%s</matrix>' % (pad, fmt_list(translation(turned(bind_offset(name))), 16)))
        for child in children.get(name, []):
            write_joint(child, depth + 1)
        w('%s</node>' % pad)

    w('      <node id="Armature" name="Armature" type="NODE">')
    w('        <matrix sid="transform">1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</matrix>')
    for root in children[None]:
        write_joint(root, 4)
    w('      </node>')
    w('      <node id="Monster" name="Monster" type="NODE">')
    w('        <matrix sid="transform">1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</matrix>')
    w('        <instance_controller url="#monster-skin">')
    w('          <skeleton>#%s</skeleton>' % children[None][0])
    w('          <bind_material><technique_common>')
    w('            <instance_material symbol="monster-material" target="#monster-material">')
    w('              <bind_vertex_input semantic="CHANNEL0" input_semantic="TEXCOORD" input_set="0"/>')
    w('            </instance_material>')
    w('          </technique_common></bind_material>')
    w('        </instance_controller>')
    w('      </node>')
    w('    </visual_scene>')
    w('  </library_visual_scenes>')
    w('  <scene><instance_visual_scene url="#Scene"/></scene>')
    w('</COLLADA>')
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(out) + "\n")


# --- Texture ------------------------------------------------------------------------


def hash01(x, y, seed):
    """Deterministic integer hash of a lattice point to [0, 1)."""
    h = (x * 374761393 + y * 668265263 + seed * 2147483647) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    return ((h ^ (h >> 16)) & 0xFFFF) / 65536.0


def value_noise(x, y, period, seed):
    """Tileable smooth noise: a lattice of `period` cells over the texture."""
    fx, fy = x * period, y * period
    ix, iy = int(math.floor(fx)), int(math.floor(fy))
    tx, ty = fx - ix, fy - iy
    tx, ty = tx * tx * (3 - 2 * tx), ty * ty * (3 - 2 * ty)

    def corner(cx, cy):
        return hash01(cx % period, cy % period, seed)

    top = corner(ix, iy) * (1 - tx) + corner(ix + 1, iy) * tx
    bottom = corner(ix, iy + 1) * (1 - tx) + corner(ix + 1, iy + 1) * tx
    return top * (1 - ty) + bottom * ty


def skin_texture():
    """Pale, bruised, veined skin, with the colour patches in the top strip."""
    size = TEXTURE_SIZE
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            patch = px // PATCH_PIXELS
            if py < PATCH_PIXELS and patch in PATCH_COLOURS:
                row += bytes(PATCH_COLOURS[patch])
                continue
            x, y = px / size, py / size
            n = (0.5 * value_noise(x, y, 4, 1) + 0.3 * value_noise(x, y, 12, 2) + 0.2 * value_noise(x, y, 40, 3))
            bruise = value_noise(x, y, 6, 4)
            vein = 1.0 - abs(value_noise(x, y, 10, 5) - 0.5) * 2.0
            vein = vein ** 24
            r = 128 + 64 * n + 30 * bruise * bruise - 60 * vein
            g = 130 + 56 * n - 40 * bruise - 80 * vein
            b = 112 + 44 * n - 20 * bruise - 50 * vein
            row += bytes(max(0, min(255, int(v))) for v in (r, g, b))
        rows.append(bytes(row))
    return rows


def write_png(path, rows, width, height):
    def chunk(kind, data):
        c = struct.pack(">I", len(data)) + kind + data
        return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + r for r in rows)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--out", default=root, help="folder that receives Assets/ (default: the repository)")
    parser.add_argument("--no-texture", action="store_true", help="write only the model")
    args = parser.parse_args()
    assets = os.path.join(args.out, "Assets")
    os.makedirs(os.path.join(assets, "Textures"), exist_ok=True)
    mesh = build_mesh()
    write_dae(mesh, os.path.join(assets, "enemy_rigged.dae"))
    print("wrote Assets/enemy_rigged.dae: %d vertices, %d triangles, %d joints" %
          (len(mesh.positions), len(mesh.triangles), len(JOINTS)))
    if not args.no_texture:
        write_png(os.path.join(assets, TEXTURE_REL), skin_texture(), TEXTURE_SIZE, TEXTURE_SIZE)
        print("wrote Assets/" + TEXTURE_REL)


if __name__ == "__main__":
    main()
