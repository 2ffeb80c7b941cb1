#!/usr/bin/python3
"""Writes the playable house: Assets/house1.dae and its material textures.

    python3 tools/make_house.py [--out DIR]

DIR defaults to the repository's Assets folder; the level goes to DIR/house1.dae
and the textures to DIR/Textures/. The output is deterministic: every run writes
the same bytes, so the committed files can be checked against a fresh run.

The house is designed in the game's Y-up world (x, height, z) with the floor top
at height -1 and the ceiling at 8. The file is Collada 1.4.1 with Z_UP, so every
position and normal is written as (x, -z, height); the importer turns it back.
Waypoints are written the same way, as every node is.
"""

import argparse
import math
import os
import sys

try:
    import numpy as np
    from PIL import Image, ImageDraw, ImageFilter, ImageFont
except ImportError:
    # The generator needs Debian's python3-numpy and python3-pil; a python3 from
    # elsewhere on PATH may lack them, so fall back to the system interpreter.
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != os.path.realpath(
            "/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

FLOOR = -1.0
CEILING = 8.0
WALL = 0.3  # each room's wall lining is this thick, on the inner side of the room's outline
DOOR_TOP = 6.0  # doorways are 7 high
LAMP_DIM = 0.25  # the rooms' point lights, against their first, brighter colours
SPOT_DIM = 0.55  # the spots over the places that matter
CELL = 2.0  # large faces are split into cells this size: room lights are lit per vertex
FONT_DIR = "/usr/share/fonts/truetype/dejavu"

# --------------------------------------------------------------------------------------------
# Geometry


def _sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def _cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def _dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def _norm(a):
    length = math.sqrt(_dot(a, a))
    return (a[0] / length, a[1] / length, a[2] / length)


class Mesh:
    """Triangles in world coordinates, each vertex with its own normal and uv."""

    def __init__(self):
        self.pos = []
        self.nrm = []
        self.uv = []
        self.tri = []

    def vertex(self, p, n, uv):
        self.pos.append(tuple(p))
        self.nrm.append(tuple(n))
        self.uv.append(tuple(uv))
        return len(self.pos) - 1

    def triangle(self, a, b, c):
        # Winding follows the normals: counter-clockwise seen from the side they face.
        pa, pb, pc = self.pos[a], self.pos[b], self.pos[c]
        if _dot(_cross(_sub(pb, pa), _sub(pc, pa)), self.nrm[a]) < 0:
            b, c = c, b
        self.tri.append((a, b, c))

    def grid(self, origin, du, dv, n, tile, nu=1, nv=1, uv0=(0.0, 0.0), uvscale=None):
        """A quad origin + s*du + t*dv split into nu x nv cells; uv from world lengths / tile."""
        lu = math.sqrt(_dot(du, du))
        lv = math.sqrt(_dot(dv, dv))
        base = len(self.pos)
        for j in range(nv + 1):
            for i in range(nu + 1):
                s, t = i / nu, j / nv
                p = tuple(origin[k] + s * du[k] + t * dv[k] for k in range(3))
                if uvscale is None:
                    uv = (uv0[0] + s * lu / tile, uv0[1] + t * lv / tile)
                else:
                    uv = (uv0[0] + s * uvscale[0], uv0[1] + t * uvscale[1])
                self.vertex(p, n, uv)
        for j in range(nv):
            for i in range(nu):
                a = base + j * (nu + 1) + i
                self.triangle(a, a + 1, a + nu + 2)
                self.triangle(a, a + nu + 2, a + nu + 1)

    def box(self, x0, x1, y0, y1, z0, z1, tile=4.0, split=False, skip=(), fit=False):
        """Axis-aligned box; uvs are planar in world units so textures line up across boxes,
        or with fit each face shows the whole texture once (doors, crates)."""

        def cells(length):
            return max(1, int(math.ceil(length / CELL - 1e-6))) if split else 1

        dx, dy, dz = x1 - x0, y1 - y0, z1 - z0
        faces = [
            ("-x", (x0, y0, z1), (0, 0, -dz), (0, dy, 0), (-1, 0, 0), (-z1, y0), dz, dy),
            ("+x", (x1, y0, z0), (0, 0, dz), (0, dy, 0), (1, 0, 0), (z0, y0), dz, dy),
            ("-z", (x0, y0, z0), (dx, 0, 0), (0, dy, 0), (0, 0, -1), (x0, y0), dx, dy),
            ("+z", (x1, y0, z1), (-dx, 0, 0), (0, dy, 0), (0, 0, 1), (-x1, y0), dx, dy),
            ("+y", (x0, y1, z1), (dx, 0, 0), (0, 0, -dz), (0, 1, 0), (x0, -z1), dx, dz),
            ("-y", (x0, y0, z0), (dx, 0, 0), (0, 0, dz), (0, -1, 0), (x0, z0), dx, dz),
        ]
        for name, o, du, dv, n, uv0, lu, lv in faces:
            if name in skip or lu <= 0 or lv <= 0:
                continue
            if fit:
                self.grid(o, du, dv, n, tile, cells(lu), cells(lv), uvscale=(1.0, 1.0))
            else:
                self.grid(o, du, dv, n, tile, cells(lu), cells(lv), (uv0[0] / tile, uv0[1] / tile))

    def obox(self, centre, half, yaw=0.0, roll=0.0, tile=1.0):
        """Box turned by roll about z, then by yaw about the vertical; uvs span each face once."""
        cy, sy = math.cos(yaw), math.sin(yaw)
        cr, sr = math.cos(roll), math.sin(roll)

        def turn(v):
            x, y, z = v
            x, y = x * cr - y * sr, x * sr + y * cr
            return (x * cy + z * sy, y, -x * sy + z * cy)

        hx, hy, hz = half
        faces = [
            ((-hx, -hy, hz), (0, 0, -2 * hz), (0, 2 * hy, 0), (-1, 0, 0)),
            ((hx, -hy, -hz), (0, 0, 2 * hz), (0, 2 * hy, 0), (1, 0, 0)),
            ((-hx, -hy, -hz), (2 * hx, 0, 0), (0, 2 * hy, 0), (0, 0, -1)),
            ((hx, -hy, hz), (-2 * hx, 0, 0), (0, 2 * hy, 0), (0, 0, 1)),
            ((-hx, hy, hz), (2 * hx, 0, 0), (0, 0, -2 * hz), (0, 1, 0)),
            ((-hx, -hy, -hz), (2 * hx, 0, 0), (0, 0, 2 * hz), (0, -1, 0)),
        ]
        for o, du, dv, n in faces:
            o = _sub(turn(o), (-centre[0], -centre[1], -centre[2]))
            self.grid(o, turn(du), turn(dv), turn(n), tile, uvscale=(1.0, 1.0))

    def bar(self, p0, p1, side, half_side, half_up):
        """A square beam from p0 to p1; side is a unit vector across it."""
        axis = _norm(_sub(p1, p0))
        up = _cross(axis, side)

        def at(base, a, b):
            return tuple(base[k] + a * side[k] * half_side + b * up[k] * half_up for k in range(3))

        length = math.sqrt(_dot(_sub(p1, p0), _sub(p1, p0)))
        for n, a0, b0, a1, b1 in ((side, 1, -1, 1, 1), (up, 1, 1, -1, 1), (tuple(-c for c in side), -1, 1, -1, -1),
                                  (tuple(-c for c in up), -1, -1, 1, -1)):
            o = at(p0, a0, b0)
            self.grid(o, _sub(at(p0, a1, b1), o), _sub(p1, p0), n, 1.0, uvscale=(0.25, length / 2.0))
        for base, n in ((p0, tuple(-c for c in axis)), (p1, axis)):
            o = at(base, -1, -1)
            self.grid(o, _sub(at(base, 1, -1), o), _sub(at(base, -1, 1), o), n, 1.0, uvscale=(0.25, 0.25))

    def ellipsoid(self, centre, radii, seg=12, rings=8, tile=1.0):
        base = len(self.pos)
        for j in range(rings + 1):
            phi = math.pi * j / rings
            for i in range(seg + 1):
                th = 2 * math.pi * i / seg
                d = (math.sin(phi) * math.cos(th), -math.cos(phi), math.sin(phi) * math.sin(th))
                p = tuple(centre[k] + radii[k] * d[k] for k in range(3))
                n = _norm((d[0] / radii[0], d[1] / radii[1], d[2] / radii[2]))
                self.vertex(p, n, (i / seg * tile, j / rings * tile))
        for j in range(rings):
            for i in range(seg):
                a = base + j * (seg + 1) + i
                b = a + seg + 1
                if j > 0:
                    self.triangle(a, a + 1, b + 1)
                if j < rings - 1:
                    self.triangle(a, b + 1, b)

    def cylinder(self, centre, radius, length, axis="y", seg=12, tile=1.0):
        """Closed cylinder along the y or x axis."""

        def place(a, r1, r2):
            # a along the axis, (r1, r2) across it
            if axis == "y":
                return (centre[0] + r1, centre[1] + a, centre[2] + r2)
            return (centre[0] + a, centre[1] + r1, centre[2] + r2)

        h = length / 2
        base = len(self.pos)
        for i in range(seg + 1):
            th = 2 * math.pi * i / seg
            c, s = math.cos(th), math.sin(th)
            n = place(0, c, s)
            n = _sub(n, centre)
            for a in (-h, h):
                self.vertex(place(a, radius * c, radius * s), n, (i / seg * tile, (a + h) / length * tile))
        for i in range(seg):
            a = base + 2 * i
            self.triangle(a, a + 2, a + 3)
            self.triangle(a, a + 3, a + 1)
        for a, sign in ((-h, -1), (h, 1)):
            n = _sub(place(sign, 0, 0), centre)
            mid = self.vertex(place(a, 0, 0), n, (0.5, 0.5))
            ring = []
            for i in range(seg):
                th = 2 * math.pi * i / seg
                c, s = math.cos(th), math.sin(th)
                ring.append(self.vertex(place(a, radius * c, radius * s), n, (0.5 + 0.5 * c, 0.5 + 0.5 * s)))
            for i in range(seg):
                self.triangle(mid, ring[i], ring[(i + 1) % seg])

    def bounds(self):
        lo = tuple(min(p[k] for p in self.pos) for k in range(3))
        hi = tuple(max(p[k] for p in self.pos) for k in range(3))
        return lo, hi


class Node:
    def __init__(self, name, mesh=None, material=None, at=None, light=None):
        self.name = name
        self.mesh = mesh
        self.material = material
        self.light = light
        self.children = []
        if at is None and mesh is not None:
            lo, hi = mesh.bounds()
            at = tuple(round((lo[k] + hi[k]) / 2, 2) for k in range(3))
        self.at = at if at is not None else (0.0, 0.0, 0.0)  # world position of the node's origin

    def add(self, child):
        if child.mesh is None:
            child.at = self.at  # an emitter sits on its parent; the game takes the parent's bounds
        self.children.append(child)
        return child


# --------------------------------------------------------------------------------------------
# The house


class House:
    def __init__(self):
        self.nodes = []
        self.waypoints = []
        self.lights = []

    def add(self, name, mesh, material, at=None):
        node = Node(name, mesh, material, at)
        self.nodes.append(node)
        return node


def segments(a, b, gaps):
    """Pieces of [a, b] outside the sorted (start, end) gaps."""
    pieces, cur = [], a
    for g0, g1 in sorted(gaps):
        if g0 > cur:
            pieces.append((cur, g0))
        cur = max(cur, g1)
    if cur < b:
        pieces.append((cur, b))
    return pieces


def room(house, name, x0, x1, z0, z1, wall_mat, floor_mat, openings=None, floor_tile=4.0, wall_tile=4.0):
    """Floor, ceiling and wall lining of one rectangular room.

    openings maps a side ("W" x=x0, "E" x=x1, "N" z=z0, "S" z=z1) to (start, end, bottom, top)
    holes along that side; a doorway runs from the floor, a window has a sill.
    """
    openings = openings or {}
    walls = Mesh()
    t = WALL
    # The face of a lining that looks out of the room lies against the neighbour's lining or
    # the outside, and faces on the floor or against the ceiling are never seen: leave them out.
    sides = {
        "W": (z0, z1, lambda a, b: (x0, x0 + t, a, b), "-x"),
        "E": (z0, z1, lambda a, b: (x1 - t, x1, a, b), "+x"),
        "N": (x0, x1, lambda a, b: (a, b, z0, z0 + t), "-z"),
        "S": (x0, x1, lambda a, b: (a, b, z1 - t, z1), "+z"),
    }

    def piece(bx0, bx1, y0, y1, bz0, bz1, outside):
        hidden = {outside}
        if y0 == FLOOR:
            hidden.add("-y")
        if y1 == CEILING:
            hidden.add("+y")
        walls.box(bx0, bx1, y0, y1, bz0, bz1, wall_tile, split=True, skip=hidden)

    for side, (a, b, span, outside) in sides.items():
        holes = openings.get(side, [])
        for p0, p1 in segments(a, b, [(h[0], h[1]) for h in holes]):
            bx0, bx1, bz0, bz1 = span(p0, p1)
            piece(bx0, bx1, FLOOR, CEILING, bz0, bz1, outside)
        for h0, h1, bottom, top in holes:
            bx0, bx1, bz0, bz1 = span(h0, h1)
            if bottom > FLOOR:
                piece(bx0, bx1, FLOOR, bottom, bz0, bz1, outside)
            if top < CEILING:
                piece(bx0, bx1, top, CEILING, bz0, bz1, outside)
    house.add(name + "Walls_mesh", walls, wall_mat)

    floor = Mesh()
    nu = max(1, int(math.ceil((x1 - x0) / CELL)))
    nv = max(1, int(math.ceil((z1 - z0) / CELL)))
    floor.grid((x0, FLOOR, z1), (x1 - x0, 0, 0), (0, 0, z0 - z1), (0, 1, 0), floor_tile, nu, nv,
               (x0 / floor_tile, -z1 / floor_tile))
    house.add(name + "Floor_mesh", floor, floor_mat)

    ceiling = Mesh()
    ceiling.grid((x0, CEILING, z0), (x1 - x0, 0, 0), (0, 0, z1 - z0), (0, -1, 0), 6.0, nu, nv,
                 (x0 / 6.0, z0 / 6.0))
    house.add(name + "Ceiling_mesh", ceiling, "plaster")


def door(z0, z1):
    return (z0, z1, FLOOR, DOOR_TOP)


def window(a0, a1, sill=1.5, top=5.5):
    return (a0, a1, sill, top)


def glass(house, name, x0, x1, y0, y1, z0, z1):
    m = Mesh()
    m.box(x0, x1, y0, y1, z0, z1, tile=4.0)
    house.add(name + "_transparent", m, "glass")


def furniture(name, parts, tile=2.0, fit=False):
    m = Mesh()
    for p in parts:
        m.box(*p, tile=tile, fit=fit)
    return m


def table(x0, x1, z0, z1, top, leg=0.25, thick=0.15):
    parts = [(x0, x1, top - thick, top, z0, z1)]
    for lx, lz in ((x0 + 0.1, z0 + 0.1), (x1 - 0.1 - leg, z0 + 0.1), (x0 + 0.1, z1 - 0.1 - leg),
                   (x1 - 0.1 - leg, z1 - 0.1 - leg)):
        parts.append((lx, lx + leg, FLOOR, top - thick, lz, lz + leg))
    return parts


def hidden_text_plane(house, name, texture, centre, width, height, facing):
    """A plane 0.02 in front of a wall; facing is the direction the writing is read from."""
    m = Mesh()
    cx, cy, cz = centre
    if facing == "+z":
        m.grid((cx - width / 2, cy - height / 2, cz), (width, 0, 0), (0, height, 0), (0, 0, 1), 1.0,
               uvscale=(1, 1))
    elif facing == "-z":
        m.grid((cx + width / 2, cy - height / 2, cz), (-width, 0, 0), (0, height, 0), (0, 0, -1), 1.0,
               uvscale=(1, 1))
    elif facing == "+x":
        m.grid((cx, cy - height / 2, cz + width / 2), (0, 0, -width), (0, height, 0), (1, 0, 0), 1.0,
               uvscale=(1, 1))
    else:
        m.grid((cx, cy - height / 2, cz - width / 2), (0, 0, width), (0, height, 0), (-1, 0, 0), 1.0,
               uvscale=(1, 1))
    house.add(name + "_hiddenText", m, texture)


def build_house():
    h = House()

    # Rooms (outlines on wall centre lines). Front: living room with the spawn, kitchen to the
    # north, bedroom to the south. Behind the pocket door at x=6: the monster's corridor, and off
    # it the bathroom (with the shower), the storage room (with the rack before its alcove) and
    # the generator room.
    room(h, "Living", -14, 6, -6, 10, "wallpaper", "wood_floor",
         {"N": [door(-7.3, -2.7)], "S": [door(-2.5, 2.5)], "E": [door(-2.3, 2.3)],
          "W": [window(4.5, 8.5)]})
    room(h, "Kitchen", -14, 6, -20, -6, "plaster", "tiles",
         {"S": [door(-7.3, -2.7)], "N": [window(-11, -6)]}, floor_tile=2.0)
    room(h, "Bedroom", -14, 6, 10, 20, "wallpaper", "wood_floor",
         {"N": [door(-2.5, 2.5)], "S": [window(-3, 1)]})
    room(h, "Corridor", 6, 12, -20, 20, "concrete", "concrete",
         {"W": [door(-2.3, 2.3)], "E": [door(-15.3, -10.7), door(-2.3, 2.3), door(10.7, 15.3)]})
    room(h, "Bathroom", 12, 36, -20, -8, "wall_tiles", "tiles", {"W": [door(-15.3, -10.7)]},
         floor_tile=2.0, wall_tile=2.0)
    room(h, "Storage", 12, 28, -8, 6, "concrete", "concrete",
         {"W": [door(-2.3, 2.3)], "E": [door(-3.4, 2.4)]})
    room(h, "Alcove", 28, 36, -8, 6, "concrete", "concrete", {"W": [door(-3.4, 2.4)]})
    room(h, "GeneratorRoom", 12, 36, 6, 20, "concrete", "concrete",
         {"W": [door(10.7, 15.3)], "E": [window(13, 17)]})

    glass(h, "LivingWindow", -14.05, -13.95, 1.5, 5.5, 4.5, 8.5)
    glass(h, "KitchenWindow", -11, -6, 1.5, 5.5, -20.05, -19.95)
    glass(h, "BedroomWindow", -3, 1, 1.5, 5.5, 19.95, 20.05)
    glass(h, "GeneratorRoomWindow", 35.95, 36.05, 1.5, 5.5, 13, 17)

    # --- Living room: spawn at the origin looking along +x at the pocket door.
    side = h.add("SideTable_mesh", furniture("SideTable", table(1.5, 3.0, -4.6, -3.1, 1.8)), "wood_dark")
    del side
    flashlight = Mesh()
    flashlight.cylinder((2.1, 2.07, -3.85), 0.16, 1.0, axis="x", seg=10)
    flashlight.cylinder((2.7, 2.07, -3.85), 0.26, 0.3, axis="x", seg=10)
    h.add("Flashlight_item", flashlight, "flashlight")

    h.add("Sofa_mesh", furniture("Sofa", [(-11, -5, FLOOR, 0.6, 7.0, 9.6), (-11, -5, FLOOR, 2.6, 8.8, 9.6),
                                          (-11.6, -11, FLOOR, 1.4, 7.0, 9.6), (-5, -4.4, FLOOR, 1.4, 7.0, 9.6)]),
          "fabric")
    h.add("CoffeeTable_mesh", furniture("CoffeeTable", table(-10, -6, 3.0, 5.0, 0.4)), "wood_dark")
    h.add("TvStand_mesh", furniture("TvStand", [(-13.7, -12.2, FLOOR, 1.4, -2.4, 2.4)]), "wood_dark")
    h.add("TvSet_mesh", furniture("TvSet", [(-13.5, -12.6, 1.4, 5.0, -2.2, 2.2)]), "metal")
    tv = Mesh()
    tv.grid((-12.58, 1.65, 1.95), (0, 0, -3.9), (0, 3.0, 0), (1, 0, 0), 1.0, uvscale=(1, 1))
    h.add("TV_Animated", tv, "tv_screen")
    h.add("Bookshelf_mesh", furniture("Bookshelf", [(-13.7, -12.5, FLOOR, 6.0, -5.5, -5.3),
                                                    (-13.7, -12.5, FLOOR, 6.0, -3.3, -3.1),
                                                    (-13.7, -13.5, FLOOR, 6.0, -5.5, -3.1)]
                                      + [(-13.7, -12.5, y, y + 0.15, -5.5, -3.1) for y in (-0.9, 0.9, 2.7, 4.5)]),
          "wood_dark")
    rug = Mesh()
    rug.grid((-11, FLOOR + 0.01, 6.0), (6, 0, 0), (0, 0, -5), (0, 1, 0), 1.0, 3, 3, uvscale=(1, 1))
    h.add("LivingRug", rug, "fabric")
    statue = Mesh()
    statue.box(3.3, 4.9, FLOOR, 1.4, 5.7, 7.3, tile=2.0)
    statue.ellipsoid((4.1, 2.7, 6.5), (1.0, 1.2, 0.95), seg=14, rings=10)
    statue.ellipsoid((4.1, 3.0, 7.6), (0.15, 0.5, 0.45), seg=10, rings=6)
    statue.ellipsoid((4.1, 3.0, 5.4), (0.15, 0.5, 0.45), seg=10, rings=6)
    statue.ellipsoid((3.2, 2.3, 6.5), (0.3, 0.45, 0.7), seg=10, rings=6)
    h.add("Suzanne_interactive", statue, "stone")
    hidden_text_plane(h, "StatueHint", "hint_statue", (2.2, 3.2, -5.68), 4.4, 4.4, "+z")

    # --- Kitchen: the banana lies on the table.
    h.add("KitchenCounter_mesh", furniture("KitchenCounter", [(-13.7, 0.0, FLOOR, 2.2, -19.7, -17.6)]), "wood_dark")
    h.add("CounterTop_mesh", furniture("CounterTop", [(-13.7, 0.1, 2.2, 2.4, -19.7, -17.4)]), "metal")
    h.add("WallCupboards", furniture("WallCupboards", [(-13.7, 0.0, 4.6, 7.0, -19.7, -18.6)]), "wood_dark")
    h.add("Fridge_mesh", furniture("Fridge", [(2.6, 5.7, FLOOR, 6.0, -19.7, -16.8)]), "porcelain")
    h.add("KitchenTable_mesh", furniture("KitchenTable", table(-7.0, -2.0, -14.0, -11.0, 2.0)), "wood_dark")
    h.add("KitchenChairA_mesh", furniture("KitchenChairA", table(-8.6, -7.4, -13.1, -11.9, 0.9, leg=0.15)
                                           + [(-8.6, -8.45, 0.9, 2.8, -13.1, -11.9)]), "wood_dark")
    h.add("KitchenChairB_mesh", furniture("KitchenChairB", table(-1.6, -0.4, -13.1, -11.9, 0.9, leg=0.15)
                                           + [(-0.55, -0.4, 0.9, 2.8, -13.1, -11.9)]), "wood_dark")
    banana = Mesh()
    for i in range(6):
        a = -0.9 + 0.36 * i
        banana.obox((-3.2 + 0.75 * math.sin(a), 2.12, -11.9 + 0.75 * (1 - math.cos(a)) - 0.3),
                    (0.17, 0.1, 0.11), yaw=-a, tile=1.0)
    h.add("Banana_item", banana, "banana")

    # --- Bedroom.
    h.add("Bed_mesh", furniture("Bed", [(-13.7, -7.0, FLOOR, 0.9, 13.0, 19.7), (-13.7, -13.3, FLOOR, 3.2, 13.0, 19.7)]),
          "fabric")
    h.add("BedFrame_mesh", furniture("BedFrame", [(-13.75, -6.9, FLOOR, -0.2, 12.9, 19.7)]), "wood_dark")
    h.add("Nightstand_mesh", furniture("Nightstand", [(-13.7, -12.2, FLOOR, 1.0, 11.0, 12.6)]), "wood_dark")
    h.add("Wardrobe_mesh", furniture("Wardrobe", [(0.8, 5.7, FLOOR, 6.5, 17.6, 19.7)]), "wood_dark")

    # --- The pocket door between the living room and the corridor. It slides 5 along +z into
    # the wall; its trim hangs under it.
    door_mesh = Mesh()
    door_mesh.box(5.85, 6.15, FLOOR, 6.1, -2.5, 2.5, fit=True)
    door_node = h.add("Door_box", door_mesh, "door")
    handle = Mesh()
    handle.box(5.65, 6.35, 2.2, 2.45, 1.6, 2.1, tile=1.0)
    door_node.add(Node("DoorHandle", handle, "metal"))
    trim = Mesh()
    trim.box(5.8, 6.2, 5.7, 6.1, -2.5, 2.5, tile=2.0)
    door_node.add(Node("DoorTrim", trim, "metal"))

    # --- Bathroom: the shower behind a glass screen and a sliding door that moves 5 along -z.
    glass(h, "ShowerScreen", 29.95, 30.05, FLOOR, 6.5, -19.7, -13.0)
    shower_door = Mesh()
    shower_door.box(29.45, 29.75, FLOOR, 6.5, -13.2, -8.3, fit=True)
    sd = h.add("Shower_door_box", shower_door, "shower_door")
    sdh = Mesh()
    sdh.box(29.25, 29.45, 2.0, 3.6, -9.4, -9.1, tile=1.0)
    sd.add(Node("ShowerDoorHandle", sdh, "metal"))
    rail = Mesh()
    rail.box(29.4, 29.8, 6.5, 6.7, -19.7, -8.3, tile=2.0)
    h.add("ShowerRail_mesh", rail, "metal")
    h.add("ShowerBench_mesh", furniture("ShowerBench", [(34.2, 35.7, FLOOR, 0.8, -19.7, -15.5)]), "wall_tiles")
    h.add("ShowerHead", furniture("ShowerHead", [(35.2, 35.7, 5.8, 6.0, -14.2, -13.8),
                                                 (34.6, 35.7, 5.5, 5.8, -14.4, -13.6)]), "metal")
    file_mesh = Mesh()
    file_mesh.obox((34.95, 0.85, -17.6), (0.5, 0.05, 0.36), yaw=0.3, tile=1.0)
    h.add("file_item", file_mesh, "file")
    tub = furniture("Bathtub", [(20.0, 28.0, FLOOR, -0.6, -19.7, -16.0), (20.0, 20.4, -0.6, 1.5, -19.7, -16.0),
                                (27.6, 28.0, -0.6, 1.5, -19.7, -16.0), (20.4, 27.6, -0.6, 1.5, -16.4, -16.0),
                                (20.4, 27.6, -0.6, 1.5, -19.7, -19.3)])
    tub_node = h.add("Bathtub_mesh", tub, "porcelain")
    tub_node.add(Node("waterdrip_soundLooped"))
    h.add("BathWater", furniture("BathWater", [(20.4, 27.6, 0.4, 0.5, -19.3, -16.4)]), "glass")
    h.add("Toilet_mesh", furniture("Toilet", [(13.0, 14.6, FLOOR, 0.8, -19.7, -17.4),
                                              (13.0, 14.6, 0.8, 2.8, -19.7, -19.0)]), "porcelain")
    sink = Mesh()
    sink.box(17.2, 17.8, FLOOR, 1.8, -9.0, -8.3, tile=1.0)
    sink.box(16.2, 18.8, 1.8, 2.6, -9.9, -8.3, tile=1.0)
    h.add("sink_interactive", sink, "porcelain")
    h.add("Mirror", furniture("Mirror", [(16.4, 18.6, 3.4, 5.6, -8.32, -8.28)]), "glass")

    # --- Storage room: shelves with the can, the cabinet, and the rack that blocks the alcove.
    shelf = [(15.0, 22.0, FLOOR + 0.2 + 2.0 * i, FLOOR + 0.35 + 2.0 * i, 4.2, 5.7) for i in range(4)]
    shelf += [(15.0, 15.2, FLOOR, 6.5, 4.2, 5.7), (21.8, 22.0, FLOOR, 6.5, 4.2, 5.7)]
    h.add("StorageShelf_mesh", furniture("StorageShelf", shelf), "metal")
    can = Mesh()
    can.cylinder((18.5, 1.8, 4.95), 0.32, 0.9, seg=12)
    h.add("can_item", can, "can")
    h.add("cabinet_interactive", furniture("Cabinet", [(21.5, 25.0, FLOOR, 5.5, -7.7, -6.2)], fit=True), "cabinet")
    h.add("CrateA_box", furniture("CrateA", [(13.0, 15.5, FLOOR, 1.5, -7.5, -5.0)], fit=True), "crate")
    h.add("CrateB_box", furniture("CrateB", [(13.2, 15.0, 1.5, 3.3, -7.3, -5.5)], fit=True), "crate")
    h.add("CrateC_box", furniture("CrateC", [(24.5, 27.0, FLOOR, 1.5, 3.0, 5.5)], fit=True), "crate")
    uprights = [(27.4, 28.6, FLOOR, 6.4, -3.4, -3.0), (27.4, 28.6, FLOOR, 6.4, 2.0, 2.4),
                (27.4, 28.6, 6.0, 6.4, -3.0, 2.0)]
    upright_node = h.add("RackUprights_mesh", furniture("RackUprights", uprights, tile=2.0), "rack")
    upright_node.add(Node("bang_sound"))
    beams = Mesh()
    for (za, ya, zb, yb) in ((-3.0, -0.8, 2.0, 2.6), (-3.0, 2.6, 2.0, -0.8), (-3.0, 2.6, 2.0, 6.0),
                             (-3.0, 6.0, 2.0, 2.6)):
        beams.bar((27.7, ya, za), (27.7, yb, zb), (1, 0, 0), 0.1, 0.1)
    for y in (-0.8, 2.6, 6.0):
        beams.box(27.6, 27.8, y - 0.1, y + 0.1, -3.0, 2.0, tile=1.0)
    rack = h.add("Racking_CrossBeams31_box", beams, "rack")
    back = Mesh()
    for y in (0.9, 4.3):
        back.box(28.2, 28.4, y - 0.1, y + 0.1, -3.0, 2.0, tile=1.0)
    rack.add(Node("RackBackBeams", back, "rack"))
    bolts = Mesh()
    for y in (-0.8, 2.6, 6.0):
        for z in (-3.05, 1.95):
            bolts.box(27.5, 27.6, y - 0.15, y + 0.15, z - 0.05, z + 0.1, tile=1.0)
    rack.add(Node("RackBolts", bolts, "metal"))
    h.add("AlcoveCrate_box", furniture("AlcoveCrate", [(32.5, 34.5, FLOOR, 1.0, -1.6, 0.4)], fit=True), "crate")
    duck = Mesh()
    duck.ellipsoid((33.5, 1.39, -0.6), (0.5, 0.38, 0.38), seg=10, rings=6)
    duck.ellipsoid((33.15, 1.99, -0.6), (0.27, 0.27, 0.27), seg=10, rings=6)
    duck.obox((32.8, 1.94, -0.6), (0.16, 0.05, 0.1), tile=1.0)
    h.add("Duck_item", duck, "duck")
    hidden_text_plane(h, "RackHint", "hint_rack", (20.0, 3.6, -7.68), 4.4, 4.4, "+z")

    # --- Generator room.
    gen = Mesh()
    gen.box(26.0, 32.0, FLOOR, 2.6, 12.0, 16.0, tile=3.0)
    gen.box(26.8, 31.2, 2.6, 3.4, 12.6, 15.4, tile=3.0)
    gen.cylinder((31.0, 4.2, 13.0), 0.25, 1.6, seg=8)
    h.add("Generator_interactive", gen, "generator")
    tank = Mesh()
    tank.cylinder((34.2, 1.0, 14.0), 1.2, 4.0, seg=14, tile=2.0)
    tank_node = h.add("FuelTank_mesh", tank, "generator")
    tank_node.add(Node("engine_sound"))
    h.add("Workbench_mesh", furniture("Workbench", table(14.0, 22.0, 17.6, 19.7, 2.0)), "wood_dark")
    h.add("Pipes", furniture("Pipes", [(12.3, 35.7, 6.9, 7.3, 19.2, 19.6), (12.3, 35.7, 7.2, 7.5, 6.4, 6.7)]), "metal")
    h.add("CorridorPipes", furniture("CorridorPipes", [(11.2, 11.6, 7.0, 7.4, -19.7, 19.7)]), "metal")
    hidden_text_plane(h, "GeneratorHint", "hint_generator", (12.32, 3.6, 7.6 + 0.0), 2.4, 2.4, "+x")

    # --- The monster walks the corridor, on the floor.
    for i, z in enumerate((-16.0, -6.0, 6.0, 16.0)):
        h.waypoints.append(("Waypoint_%02d" % i, (9.0, FLOOR, z)))

    # --- Lights: dim points in the rooms, spots pointing down over the places that matter.
    # At the game's default ambient light (0.1) the rooms stay between 0.05 and 0.10 in mean
    # brightness without the flashlight: the lamps only lift the ambient a little, enough for
    # the doorways and the way to read; the spots keep the statue, the generator and the
    # shower findable.
    def dim(colour, scale):
        return tuple(round(c * scale, 3) for c in colour)

    warm = (0.55, 0.45, 0.32)
    cold = (0.32, 0.38, 0.45)
    h.lights += [
        ("LivingLight", "point", (-4.0, 6.8, 2.0), dim(warm, LAMP_DIM)),
        ("KitchenLight", "point", (-5.0, 6.8, -13.0), dim(warm, LAMP_DIM)),
        ("BedroomLight", "point", (-5.0, 6.8, 15.0), dim((0.4, 0.3, 0.25), LAMP_DIM)),
        ("CorridorLight", "point", (9.0, 6.8, 0.0), dim((0.3, 0.3, 0.3), LAMP_DIM)),
        ("BathroomLight", "point", (21.0, 6.8, -14.0), dim(cold, LAMP_DIM)),
        ("StorageLight", "point", (20.0, 6.8, -1.0), dim(cold, LAMP_DIM)),
        ("GeneratorRoomLight", "point", (18.0, 6.8, 13.0), dim((0.3, 0.32, 0.3), LAMP_DIM)),
        ("StatueSpot", "spot", (3.0, 7.6, 6.5), dim((0.8, 0.7, 0.55), SPOT_DIM)),
        ("GeneratorSpot", "spot", (25.0, 7.6, 13.0), dim((0.7, 0.65, 0.5), SPOT_DIM)),
        ("ShowerSpot", "spot", (32.8, 7.6, -14.0), dim((0.5, 0.6, 0.7), SPOT_DIM)),
    ]
    return h


# --------------------------------------------------------------------------------------------
# Collada writer

MATERIALS = [
    "wallpaper", "plaster", "concrete", "wall_tiles", "wood_floor", "tiles", "wood_dark", "fabric", "metal",
    "stone", "porcelain", "glass", "door", "shower_door", "crate", "rack", "generator", "tv_screen",
    "hint_statue", "hint_rack", "hint_generator", "flashlight", "banana", "duck", "can", "file", "cabinet",
]


def f(v):
    s = "%.4f" % v
    if s == "-0.0000":
        s = "0.0000"
    return s


def to_file(p):
    """Y-up world (x, height, z) to the file's Z-up axes."""
    return (p[0], -p[2], p[1])


def write_collada(house, path):
    out = []
    w = out.append
    w('<?xml version="1.0" encoding="utf-8"?>')
    w('<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">')
    w("  <asset>")
    w("    <contributor><authoring_tool>Vestrel tools/make_house.py</authoring_tool></contributor>")
    w("    <created>2024-01-01T00:00:00</created>")
    w("    <modified>2024-01-01T00:00:00</modified>")
    w('    <unit name="meter" meter="1"/>')
    w("    <up_axis>Z_UP</up_axis>")
    w("  </asset>")

    w("  <library_images>")
    for m in MATERIALS:
        w('    <image id="%s-image" name="%s-image"><init_from>Textures/%s.png</init_from></image>' % (m, m, m))
    w("  </library_images>")

    w("  <library_effects>")
    for m in MATERIALS:
        w('    <effect id="%s-effect">' % m)
        w("      <profile_COMMON>")
        w('        <newparam sid="%s-surface"><surface type="2D"><init_from>%s-image</init_from></surface></newparam>'
          % (m, m))
        w('        <newparam sid="%s-sampler"><sampler2D><source>%s-surface</source></sampler2D></newparam>' % (m, m))
        w('        <technique sid="common"><lambert><diffuse><texture texture="%s-sampler" texcoord="UVMap"/>'
          "</diffuse></lambert></technique>" % m)
        w("      </profile_COMMON>")
        w("    </effect>")
    w("  </library_effects>")

    w("  <library_materials>")
    for m in MATERIALS:
        w('    <material id="%s-material" name="%s"><instance_effect url="#%s-effect"/></material>' % (m, m, m))
    w("  </library_materials>")

    def all_nodes(nodes):
        for n in nodes:
            yield n
            yield from all_nodes(n.children)

    w("  <library_geometries>")
    for n in all_nodes(house.nodes):
        if n.mesh is None:
            continue
        g = n.name + "-mesh"
        pos = [to_file(_sub(p, n.at)) for p in n.mesh.pos]
        nrm = [to_file(p) for p in n.mesh.nrm]
        count = len(pos)
        w('    <geometry id="%s" name="%s">' % (g, n.name))
        w("      <mesh>")
        for suffix, data, stride, params in (("positions", pos, 3, "XYZ"), ("normals", nrm, 3, "XYZ"),
                                             ("map", n.mesh.uv, 2, "ST")):
            flat = " ".join(f(v) for item in data for v in item)
            w('        <source id="%s-%s">' % (g, suffix))
            w('          <float_array id="%s-%s-array" count="%d">%s</float_array>' % (g, suffix, count * stride, flat))
            w('          <technique_common><accessor source="#%s-%s-array" count="%d" stride="%d">%s</accessor>'
              "</technique_common>" % (g, suffix, count, stride,
                                       "".join('<param name="%s" type="float"/>' % c for c in params)))
            w("        </source>")
        w('        <vertices id="%s-vertices"><input semantic="POSITION" source="#%s-positions"/></vertices>' % (g, g))
        w('        <triangles material="%s-material" count="%d">' % (n.material, len(n.mesh.tri)))
        w('          <input semantic="VERTEX" source="#%s-vertices" offset="0"/>' % g)
        w('          <input semantic="NORMAL" source="#%s-normals" offset="0"/>' % g)
        w('          <input semantic="TEXCOORD" source="#%s-map" offset="0" set="0"/>' % g)
        w("          <p>%s</p>" % " ".join("%d %d %d" % t for t in n.mesh.tri))
        w("        </triangles>")
        w("      </mesh>")
        w("    </geometry>")
    w("  </library_geometries>")

    w("  <library_lights>")
    for name, kind, _, colour in house.lights:
        w('    <light id="%s-light" name="%s">' % (name, name))
        w("      <technique_common>")
        w("        <%s>" % kind)
        w('          <color sid="color">%s</color>' % " ".join(f(c) for c in colour))
        w("          <constant_attenuation>1.0</constant_attenuation>")
        w("          <linear_attenuation>%s</linear_attenuation>" % ("0.04" if kind == "point" else "0.02"))
        w("          <quadratic_attenuation>%s</quadratic_attenuation>" % ("0.008" if kind == "point" else "0.004"))
        if kind == "spot":
            w("          <falloff_angle>30.0</falloff_angle>")
            w("          <falloff_exponent>0.0</falloff_exponent>")
        w("        </%s>" % kind)
        w("      </technique_common>")
        w("    </light>")
    w("  </library_lights>")

    def matrix(t):
        return "1 0 0 %s 0 1 0 %s 0 0 1 %s 0 0 0 1" % tuple(f(v) for v in t)

    def write_node(n, parent_at, depth):
        ind = "  " * depth
        here = to_file(_sub(n.at, parent_at))
        w('%s<node id="%s" name="%s" type="NODE">' % (ind, n.name, n.name))
        w('%s  <matrix sid="transform">%s</matrix>' % (ind, matrix(here)))
        if n.mesh is not None:
            w('%s  <instance_geometry url="#%s-mesh" name="%s">' % (ind, n.name, n.name))
            w('%s    <bind_material><technique_common><instance_material symbol="%s-material" target="#%s-material">'
              '<bind_vertex_input semantic="UVMap" input_semantic="TEXCOORD" input_set="0"/></instance_material>'
              "</technique_common></bind_material>" % (ind, n.material, n.material))
            w("%s  </instance_geometry>" % ind)
        for c in n.children:
            write_node(c, n.at, depth + 1)
        w("%s</node>" % ind)

    w("  <library_visual_scenes>")
    w('    <visual_scene id="Scene" name="Scene">')
    for n in house.nodes:
        write_node(n, (0.0, 0.0, 0.0), 3)
    for name, at in house.waypoints:
        w('      <node id="%s" name="%s" type="NODE"><matrix sid="transform">%s</matrix></node>'
          % (name, name, matrix(to_file(at))))
    for name, _, at, _ in house.lights:
        w('      <node id="%s" name="%s" type="NODE"><matrix sid="transform">%s</matrix>'
          '<instance_light url="#%s-light"/></node>' % (name, name, matrix(to_file(at)), name))
    w("    </visual_scene>")
    w("  </library_visual_scenes>")
    w('  <scene><instance_visual_scene url="#Scene"/></scene>')
    w("</COLLADA>")
    with open(path, "w", encoding="utf-8", newline="\n") as fh:
        fh.write("\n".join(out) + "\n")


# --------------------------------------------------------------------------------------------
# Textures (procedural; numpy's PCG64 generator gives the same numbers on every machine)


def tile_noise(rng, size, cells, octaves=4, falloff=0.5):
    """Smooth value noise in [0, 1] that tiles seamlessly across the image edges."""
    total = np.zeros((size, size))
    amp, weight = 1.0, 0.0
    for _ in range(octaves):
        g = rng.random((cells, cells))
        coords = np.arange(size) * cells / size
        i0 = np.floor(coords).astype(int)
        t = coords - i0
        t = t * t * (3 - 2 * t)
        i1 = (i0 + 1) % cells
        rows0 = g[i0]
        rows1 = g[i1]
        a = rows0[:, i0] * (1 - t)[None, :] + rows0[:, i1] * t[None, :]
        b = rows1[:, i0] * (1 - t)[None, :] + rows1[:, i1] * t[None, :]
        total += amp * (a * (1 - t)[:, None] + b * t[:, None])
        weight += amp
        amp *= falloff
        cells = min(cells * 2, size)
    return total / weight


def colourise(value, dark, light):
    dark = np.array(dark, dtype=float)
    light = np.array(light, dtype=float)
    return dark[None, None, :] + (light - dark)[None, None, :] * value[:, :, None]


def to_image(rgb, levels=None):
    rgb = np.clip(rgb, 0, 255)
    if levels:
        step = 256 / levels
        rgb = np.floor(rgb / step) * step + step / 2
    return Image.fromarray(rgb.astype(np.uint8), "RGB")


def grime(rng, size, strength=0.25):
    n = tile_noise(rng, size, 4, 4)
    return 1.0 - strength * np.clip((n - 0.45) * 3, 0, 1)


def tex_wallpaper(rng, size=512):
    y, x = np.mgrid[0:size, 0:size] / size
    stripes = 0.5 + 0.5 * np.cos(2 * np.pi * x * 8)
    motif = np.cos(2 * np.pi * (x * 4 + y * 4)) * np.cos(2 * np.pi * (x * 4 - y * 4))
    value = 0.55 + 0.15 * stripes + 0.2 * (motif > 0.55) + 0.1 * tile_noise(rng, size, 16)
    rgb = colourise(np.clip(value, 0, 1), (40, 52, 38), (150, 160, 120))
    stain = grime(rng, size, 0.45)
    return to_image(rgb * stain[:, :, None], 48)


def tex_plaster(rng, size=256):
    n = tile_noise(rng, size, 8, 5)
    rgb = colourise(n, (150, 145, 132), (205, 200, 185)) * grime(rng, size, 0.3)[:, :, None]
    return to_image(rgb, 48)


def tex_concrete(rng, size=512):
    n = tile_noise(rng, size, 8, 6, 0.6)
    pits = (rng.random((size, size)) > 0.985) * 0.25
    value = np.clip(n - pits, 0, 1)
    rgb = colourise(value, (70, 70, 68), (150, 148, 142)) * grime(rng, size, 0.35)[:, :, None]
    return to_image(rgb, 40)


def tiles(rng, size, count, dark, light, grout):
    y, x = np.mgrid[0:size, 0:size]
    cell = size // count
    line = ((x % cell) < 3) | ((y % cell) < 3)
    tint = rng.random((count, count))[y // cell, x // cell]
    n = tile_noise(rng, size, 16, 3)
    rgb = colourise(0.6 * tint + 0.4 * n, dark, light)
    rgb[line] = grout
    return rgb * grime(rng, size, 0.3)[:, :, None]


def tex_tiles(rng, size=256):
    return to_image(tiles(rng, size, 4, (120, 118, 110), (190, 186, 172), (60, 58, 52)), 48)


def tex_wall_tiles(rng, size=256):
    return to_image(tiles(rng, size, 8, (120, 150, 150), (175, 200, 196), (80, 86, 84)), 48)


def wood(rng, size, planks, dark, light, vertical=False):
    y, x = np.mgrid[0:size, 0:size] / size
    if vertical:
        x, y = y, x
    plank = np.floor(y * planks).astype(int)
    offset = rng.random(planks)[plank]
    warp = tile_noise(rng, size, 4, 3)
    grain = 0.5 + 0.5 * np.sin(2 * np.pi * (y * planks * 6 + warp * 3 + offset * 7))
    value = 0.35 + 0.35 * grain + 0.3 * rng.random(planks)[plank]
    value = value * (0.85 + 0.15 * tile_noise(rng, size, 32, 2))
    gap = ((y * planks) % 1.0) < 0.03
    ends = ((x + offset) % 1.0) < 0.006
    rgb = colourise(np.clip(value, 0, 1), dark, light)
    rgb[gap | ends] *= 0.35
    return rgb


def tex_wood_floor(rng, size=512):
    return to_image(wood(rng, size, 8, (60, 36, 20), (150, 100, 60)) * grime(rng, size, 0.3)[:, :, None], 48)


def tex_wood_dark(rng, size=256):
    return to_image(wood(rng, size, 4, (35, 22, 14), (95, 62, 38)), 48)


def tex_crate(rng, size=256):
    rgb = wood(rng, size, 5, (80, 60, 35), (160, 128, 80), vertical=True)
    y, x = np.mgrid[0:size, 0:size]
    frame = (x < 18) | (x > size - 19) | (y < 18) | (y > size - 19) | (abs(x - y) < 12)
    rgb[frame] *= 0.7
    return to_image(rgb, 48)


def tex_fabric(rng, size=256):
    y, x = np.mgrid[0:size, 0:size]
    weave = ((x // 2 + y // 2) % 2) * 0.15 + 0.85
    n = tile_noise(rng, size, 8, 3)
    rgb = colourise(n, (60, 20, 22), (120, 45, 40)) * weave[:, :, None] * grime(rng, size, 0.3)[:, :, None]
    return to_image(rgb, 48)


def tex_metal(rng, size=256):
    streak = tile_noise(rng, size, 64, 2)[:, :1].repeat(size, axis=1)
    n = tile_noise(rng, size, 8, 4)
    value = 0.5 + 0.3 * (streak - 0.5) + 0.3 * (n - 0.5)
    rgb = colourise(np.clip(value, 0, 1), (55, 58, 62), (150, 155, 160))
    rust = np.clip((tile_noise(rng, size, 6, 4) - 0.62) * 4, 0, 1)[:, :, None]
    rgb = rgb * (1 - rust) + np.array([110, 55, 25])[None, None, :] * rust
    return to_image(rgb, 48)


def tex_rack(rng, size=256):
    y, x = np.mgrid[0:size, 0:size]
    n = tile_noise(rng, size, 8, 3)
    rgb = colourise(n, (150, 70, 10), (220, 120, 30))
    holes = ((x % 32) > 12) & ((x % 32) < 20) & ((y % 64) > 20) & ((y % 64) < 44)
    rgb[holes] = (30, 20, 10)
    return to_image(rgb * grime(rng, size, 0.35)[:, :, None], 48)


def tex_generator(rng, size=256):
    y, x = np.mgrid[0:size, 0:size]
    n = tile_noise(rng, size, 8, 4)
    rgb = colourise(n, (110, 105, 30), (190, 180, 60))
    vents = ((y % 24) < 5) & (x > 40) & (x < size - 40) & (y > 40) & (y < size - 40)
    rgb[vents] = (25, 25, 20)
    scratches = np.clip((tile_noise(rng, size, 32, 2) - 0.7) * 6, 0, 1)[:, :, None]
    rgb = rgb * (1 - scratches) + np.array([120, 120, 118])[None, None, :] * scratches
    return to_image(rgb * grime(rng, size, 0.3)[:, :, None], 48)


def tex_stone(rng, size=256):
    n = tile_noise(rng, size, 6, 6, 0.6)
    veins = np.abs(np.sin(2 * np.pi * (tile_noise(rng, size, 3, 3) * 6)))
    value = 0.6 * n + 0.4 * veins ** 0.3
    return to_image(colourise(np.clip(value, 0, 1), (70, 72, 70), (170, 170, 165)), 48)


def tex_porcelain(rng, size=256):
    n = tile_noise(rng, size, 8, 3)
    rgb = colourise(n, (200, 200, 195), (235, 235, 230)) * grime(rng, size, 0.2)[:, :, None]
    return to_image(rgb, 48)


def tex_glass(rng, size=256):
    y, x = np.mgrid[0:size, 0:size] / size
    streak = 0.5 + 0.5 * np.sin(2 * np.pi * (x + y) * 3 + tile_noise(rng, size, 4, 2) * 4)
    return to_image(colourise(streak, (110, 135, 140), (175, 200, 205)), 32)


def tex_door(rng, size=256):
    rgb = wood(rng, size, 6, (55, 30, 18), (120, 75, 45), vertical=True)
    y, x = np.mgrid[0:size, 0:size]
    for y0, y1 in ((24, 110), (146, 232)):
        edge = ((np.abs(y - y0) < 4) | (np.abs(y - y1) < 4)) & (x > 30) & (x < size - 30)
        edge |= ((np.abs(x - 30) < 4) | (np.abs(x - (size - 30)) < 4)) & (y > y0) & (y < y1)
        rgb[edge] *= 0.45
    return to_image(rgb, 48)


def tex_shower_door(rng, size=256):
    n = tile_noise(rng, size, 16, 3)
    y, x = np.mgrid[0:size, 0:size]
    frame = (x < 14) | (x > size - 15) | (y < 14) | (y > size - 15)
    rgb = colourise(n, (140, 165, 170), (200, 220, 222))
    rgb[frame] = (150, 150, 155)
    return to_image(rgb, 32)


def tex_tv_screen(rng, size=256):
    n = rng.random((size // 2, size // 2)).repeat(2, axis=0).repeat(2, axis=1)
    y = np.arange(size)[:, None] / size
    scan = 0.8 + 0.2 * (np.arange(size)[:, None] % 4 < 2)
    value = np.clip((0.25 + 0.6 * n) * scan * (1 - 0.4 * np.abs(y - 0.5)), 0, 1)
    return to_image(colourise(value, (10, 14, 16), (190, 210, 215)), 16)


def hint(text, size=512, seed_angle=-4):
    img = Image.new("RGB", (size, size), (0, 0, 0))
    layer = Image.new("L", (size, size), 0)
    draw = ImageDraw.Draw(layer)
    font = ImageFont.truetype(os.path.join(FONT_DIR, "DejaVuSans-BoldOblique.ttf"), 64)
    lines = text.split("\n")
    y = size // 2 - 40 * len(lines)
    for line in lines:
        width = draw.textlength(line, font=font)
        draw.text(((size - width) / 2, y), line, fill=255, font=font)
        y += 84
    layer = layer.rotate(seed_angle, resample=Image.BICUBIC).filter(ImageFilter.GaussianBlur(1.2))
    ink = Image.new("RGB", (size, size), (150, 200, 255))
    img.paste(ink, (0, 0), layer)
    return img


def tex_cabinet(rng, size=256):
    """A filing cabinet front: four drawers with handles and label slots."""
    n = tile_noise(rng, size, 8, 4)
    rgb = colourise(n, (70, 82, 72), (115, 130, 112))
    y, x = np.mgrid[0:size, 0:size]
    drawer = size // 4
    seam = ((y % drawer) < 4) | (x < 6) | (x > size - 7)
    rgb[seam] = (30, 34, 30)
    for d in range(4):
        top = d * drawer
        rgb[top + 20:top + 30, size // 2 - 30:size // 2 + 30] = (170, 170, 160)
        rgb[top + 36:top + 44, size // 2 - 20:size // 2 + 20] = (45, 45, 42)
    return to_image(rgb * grime(rng, size, 0.3)[:, :, None], 48)


def solid(rng, size, dark, light, cells=8):
    return colourise(tile_noise(rng, size, cells, 3), dark, light)


def tex_flashlight(rng, size=256):
    rgb = solid(rng, size, (20, 20, 22), (60, 60, 66))
    rgb[:, size // 2 - 20:size // 2 + 20] = (170, 150, 40)
    return to_image(rgb, 48)


def tex_banana(rng, size=256):
    rgb = solid(rng, size, (190, 160, 30), (240, 215, 70))
    spots = rng.random((size // 8, size // 8)).repeat(8, axis=0).repeat(8, axis=1) > 0.9
    rgb[spots] = (90, 60, 20)
    return to_image(rgb, 48)


def tex_duck(rng, size=256):
    return to_image(solid(rng, size, (210, 170, 20), (250, 220, 60)), 32)


def tex_can(rng, size=256):
    rgb = solid(rng, size, (120, 20, 18), (190, 40, 30))
    rgb[size // 3:2 * size // 3, :] = (220, 210, 190)
    rgb[size // 2 - 6:size // 2 + 6, size // 8:7 * size // 8] = (30, 30, 30)
    return to_image(rgb, 48)


def tex_file(rng, size=256):
    rgb = solid(rng, size, (190, 160, 100), (225, 195, 135))
    for y in range(60, size - 40, 22):
        rgb[y:y + 3, 40:size - 40] = (90, 80, 70)
    return to_image(rgb, 48)


TEXTURES = {
    "wallpaper": tex_wallpaper, "plaster": tex_plaster, "concrete": tex_concrete,
    "wall_tiles": tex_wall_tiles, "wood_floor": tex_wood_floor, "tiles": tex_tiles,
    "wood_dark": tex_wood_dark, "fabric": tex_fabric, "metal": tex_metal, "stone": tex_stone,
    "porcelain": tex_porcelain, "glass": tex_glass, "door": tex_door, "shower_door": tex_shower_door,
    "crate": tex_crate, "rack": tex_rack, "generator": tex_generator, "tv_screen": tex_tv_screen,
    "hint_statue": lambda rng: hint("SHE IS\nHUNGRY\nFEED THE\nSTATUE"),
    "hint_rack": lambda rng: hint("PAPERS\nIN THE\nCABINET\nBREAK IT", seed_angle=3),
    "hint_generator": lambda rng: hint("FUEL\nWAKES\nTHE\nENGINE", seed_angle=-2),
    "flashlight": tex_flashlight, "banana": tex_banana, "duck": tex_duck, "can": tex_can, "file": tex_file,
    "cabinet": tex_cabinet,
}


def write_textures(folder):
    os.makedirs(folder, exist_ok=True)
    for index, name in enumerate(MATERIALS):
        rng = np.random.Generator(np.random.PCG64(1000 + index))
        image = TEXTURES[name](rng)
        # optimize=False and no metadata keep the bytes identical from run to run
        image.save(os.path.join(folder, name + ".png"), "PNG", optimize=False, compress_level=9)


def main():
    default_out = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "Assets")
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=default_out, help="folder that receives house1.dae and Textures/")
    args = parser.parse_args()
    out = os.path.normpath(args.out)
    os.makedirs(out, exist_ok=True)
    house = build_house()
    write_collada(house, os.path.join(out, "house1.dae"))
    write_textures(os.path.join(out, "Textures"))
    triangles = sum(len(n.mesh.tri) for n in house.nodes if n.mesh) + sum(
        len(c.mesh.tri) for n in house.nodes for c in n.children if c.mesh)
    print("house1.dae: %d nodes with meshes, %d triangles, %d lights, %d waypoints" % (
        sum(1 for n in house.nodes if n.mesh) + sum(1 for n in house.nodes for c in n.children if c.mesh),
        triangles, len(house.lights), len(house.waypoints)))


if __name__ == "__main__":
    main()
