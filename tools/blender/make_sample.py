"""Builds a small sample level and a small rigged creature in Blender and exports
both with Blender's own Collada exporter, as a level author would.

    blender -b --factory-startup -P tools/blender/make_sample.py -- [--out DIR]

DIR defaults to tests/data/blender. It receives sample_level.dae and
sample_creature.dae, each with its textures beside it (the exporter's "Copy"
option). The
scene is built from nothing (factory settings), so a run writes the same
geometry, names, lights and keys every time; only the exporter's date stamps
differ, and tests/tools/blender_sample_matches.py compares the files without them.

Everything is modelled in Blender's own Z-up axes with 1 Blender unit = 1 game
unit: the floor top lies at Z = -1, the player starts at the origin, the
ceiling is at Z = 8. docs/level-authoring.md explains each rule used here.
"""

import argparse
import math
import os
import shutil
import sys
import tempfile

import bpy

FLOOR = -1.0
CEILING = 8.0
WALL = 0.3
DOOR_TOP = 6.0
SCRATCH = tempfile.mkdtemp(prefix="vestrel-blender-")


def parse_args():
    argv = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    parser = argparse.ArgumentParser(description=__doc__)
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--out", default=os.path.join(here, "..", "..", "tests", "data", "blender"))
    return parser.parse_args(argv)


def clear_scene():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    scene = bpy.context.scene
    scene.render.fps = 24
    scene.frame_start = 0
    scene.frame_end = 24
    scene.unit_settings.system = "METRIC"
    scene.unit_settings.scale_length = 1.0


# --------------------------------------------------------------------------------------------
# Materials: one image texture each, made here and saved next to the level.


def make_texture(name, colour_a, colour_b, checks=8, size=128):
    """A two-colour check pattern saved as a PNG in the scratch folder; the exporter copies
    it beside the .dae, which is where the game looks for it."""
    image = bpy.data.images.new(name, width=size, height=size, alpha=False)
    pixels = []
    cell = size // checks
    for y in range(size):
        for x in range(size):
            c = colour_a if ((x // cell) + (y // cell)) % 2 == 0 else colour_b
            pixels.extend((c[0], c[1], c[2], 1.0))
    image.pixels = pixels
    path = os.path.join(SCRATCH, name + ".png")
    image.filepath_raw = path
    image.file_format = "PNG"
    image.save()
    return image


def make_material(name, image):
    material = bpy.data.materials.new(name)
    material.use_nodes = True
    nodes = material.node_tree.nodes
    bsdf = nodes.get("Principled BSDF")
    tex = nodes.new("ShaderNodeTexImage")
    tex.image = image
    material.node_tree.links.new(tex.outputs["Color"], bsdf.inputs["Base Color"])
    return material


# --------------------------------------------------------------------------------------------
# Geometry helpers: every object gets one mesh, one material and UVs.


def box_object(name, lo, hi, material, parent=None):
    """An axis-aligned box from corner lo to corner hi (Blender axes), origin at its centre."""
    centre = tuple((a + b) / 2 for a, b in zip(lo, hi))
    half = tuple((b - a) / 2 for a, b in zip(lo, hi))
    mesh = bpy.data.meshes.new(name + "-mesh")
    verts = []
    for z in (-1, 1):
        for y in (-1, 1):
            for x in (-1, 1):
                verts.append((x * half[0], y * half[1], z * half[2]))
    faces = [(0, 2, 3, 1), (4, 5, 7, 6), (0, 1, 5, 4), (2, 6, 7, 3), (0, 4, 6, 2), (1, 3, 7, 5)]
    mesh.from_pydata(verts, [], faces)
    mesh.update()
    add_box_uvs(mesh, half)
    mesh.materials.append(material)
    obj = bpy.data.objects.new(name, mesh)
    obj.location = centre
    bpy.context.scene.collection.objects.link(obj)
    if parent is not None:
        obj.parent = parent
        obj.location = tuple(c - p for c, p in zip(centre, parent.location))
    return obj


def add_box_uvs(mesh, half):
    """World-scaled planar UVs: textures repeat every 2 units whatever the box size."""
    layer = mesh.uv_layers.new(name="UVMap")
    for poly in mesh.polygons:
        n = poly.normal
        axis = max(range(3), key=lambda i: abs(n[i]))
        u_axis, v_axis = [(1, 2), (0, 2), (0, 1)][axis]
        for loop_index in poly.loop_indices:
            co = mesh.vertices[mesh.loops[loop_index].vertex_index].co
            layer.data[loop_index].uv = (co[u_axis] * half[u_axis] / max(half[u_axis], 1e-6) / 2.0,
                                         co[v_axis] / 2.0)


def split_box(name, lo, hi, material, cells=2.0):
    """A large flat box split into cells, so the per-vertex room lights have vertices to light."""
    mesh = bpy.data.meshes.new(name + "-mesh")
    nx = max(1, round((hi[0] - lo[0]) / cells))
    ny = max(1, round((hi[1] - lo[1]) / cells))
    verts, faces = [], []
    for j in range(ny + 1):
        for i in range(nx + 1):
            verts.append((lo[0] + (hi[0] - lo[0]) * i / nx, lo[1] + (hi[1] - lo[1]) * j / ny, hi[2]))
    for j in range(ny):
        for i in range(nx):
            a = j * (nx + 1) + i
            faces.append((a, a + 1, a + nx + 2, a + nx + 1))
    mesh.from_pydata(verts, [], faces)
    mesh.update()
    layer = mesh.uv_layers.new(name="UVMap")
    for poly in mesh.polygons:
        for loop_index in poly.loop_indices:
            co = mesh.vertices[mesh.loops[loop_index].vertex_index].co
            layer.data[loop_index].uv = (co[0] / 2.0, co[1] / 2.0)
    mesh.materials.append(material)
    obj = bpy.data.objects.new(name, mesh)
    bpy.context.scene.collection.objects.link(obj)
    return obj


def flip_normals(obj):
    mesh = obj.data
    for poly in mesh.polygons:
        poly.flip()
    mesh.update()


# --------------------------------------------------------------------------------------------
# The sample level: two rooms joined by a doorway with a sliding door.
#
#   Y=8  +----------------------+----------------------+
#        |  Room A        item  |  Room B              |
#        |                      |                      |
#        |  spawn (0,0)     Door_box  (X=6)           |
#        |                      |                      |
#        |  statue zone         |   waypoints          |
#   Y=-8 +----------------------+----------------------+
#      X=-10                  X=6                    X=22


def build_level(folder):
    clear_scene()
    wall_img = make_texture("sample_wall", (0.42, 0.38, 0.31), (0.34, 0.3, 0.25))
    floor_img = make_texture("sample_floor", (0.4, 0.3, 0.2), (0.3, 0.22, 0.15))
    door_img = make_texture("sample_door", (0.35, 0.2, 0.12), (0.3, 0.17, 0.1), checks=2)
    prop_img = make_texture("sample_prop", (0.9, 0.8, 0.1), (0.8, 0.7, 0.05), checks=4)
    wall = make_material("Wall", wall_img)
    floor = make_material("Floor", floor_img)
    door = make_material("Door", door_img)
    prop = make_material("Prop", prop_img)

    # Floor and ceiling, split into cells; the ceiling faces down.
    split_box("Floor_mesh", (-10, -8, FLOOR - 0.2), (22, 8, FLOOR), floor)
    ceiling = split_box("Ceiling_mesh", (-10, -8, CEILING), (22, 8, CEILING), wall)
    flip_normals(ceiling)

    # Outer walls and the dividing wall with its doorway (Y from -2.5 to 2.5, 7 high).
    box_object("WallNorth_mesh", (-10, 8 - WALL, FLOOR), (22, 8, CEILING), wall)
    box_object("WallSouth_mesh", (-10, -8, FLOOR), (22, -8 + WALL, CEILING), wall)
    box_object("WallWest_mesh", (-10, -8, FLOOR), (-10 + WALL, 8, CEILING), wall)
    box_object("WallEast_mesh", (22 - WALL, -8, FLOOR), (22, 8, CEILING), wall)
    box_object("DividerSouth_mesh", (6 - WALL / 2, -8, FLOOR), (6 + WALL / 2, -2.5, CEILING), wall)
    box_object("DividerNorth_mesh", (6 - WALL / 2, 2.5, FLOOR), (6 + WALL / 2, 8, CEILING), wall)
    box_object("DividerLintel_mesh", (6 - WALL / 2, -2.5, DOOR_TOP), (6 + WALL / 2, 2.5, CEILING), wall)

    # The door: slides 5 along its own -Y (Blender's -Y) when the statue is fed.
    # Its handle hangs under it and travels with it.
    door_obj = box_object("Door_box", (6 - 0.2, -2.5, FLOOR), (6 + 0.2, 2.5, DOOR_TOP), door)
    box_object("DoorHandle", (6 - 0.35, 1.6, 2.0), (6 + 0.35, 2.0, 2.3), prop, parent=door_obj)

    # One item (a key the statue takes) and one interaction zone.
    box_object("Banana_item", (-4.4, 3.6, FLOOR), (-3.6, 4.4, FLOOR + 0.6), prop)
    box_object("Suzanne_interactive", (-3.0, -6.5, FLOOR), (-1.0, -4.5, FLOOR + 3.0), prop)

    # Lights: one of each kind. Blender's watts become the exported colour; the
    # game scales them back (docs/level-authoring.md).
    def lamp(name, kind, location, colour, energy, rotation=(0.0, 0.0, 0.0), size=None):
        data = bpy.data.lights.new(name, type=kind)
        data.color = colour
        data.energy = energy
        if size is not None:
            data.spot_size = size
            data.spot_blend = 0.15
        obj = bpy.data.objects.new(name, data)
        obj.location = location
        obj.rotation_euler = rotation
        bpy.context.scene.collection.objects.link(obj)
        return obj

    lamp("RoomALight", "POINT", (-2.0, 0.0, 6.8), (1.0, 0.85, 0.6), 700.0)
    lamp("RoomBLight", "POINT", (14.0, 0.0, 6.8), (0.6, 0.7, 1.0), 800.0)
    # Tilted 30 degrees about X: it aims at the statue zone, not straight down.
    lamp("StatueSpot", "SPOT", (-2.0, -2.0, 7.6), (1.0, 0.9, 0.7), 1500.0,
         rotation=(math.radians(30.0), 0.0, 0.0), size=math.radians(60.0))
    lamp("MoonSun", "SUN", (0.0, 0.0, 20.0), (0.5, 0.55, 0.7), 0.3,
         rotation=(math.radians(40.0), 0.0, math.radians(30.0)))

    # Waypoints for the monster in room B: empties standing on the floor
    # where it should walk, placed like everything else.
    for i, (x, y) in enumerate(((12.0, 5.0), (18.0, 5.0), (18.0, -5.0))):
        empty = bpy.data.objects.new("Waypoint_%02d" % i, None)
        empty.location = (x, y, FLOOR)
        bpy.context.scene.collection.objects.link(empty)

    export(os.path.join(folder, "sample_level.dae"), animations=False)


# --------------------------------------------------------------------------------------------
# The sample creature: a body on two legs, one looping 1-second walk.


def build_creature(folder):
    clear_scene()
    skin = make_material("CreatureSkin", make_texture("sample_creature_skin", (0.35, 0.4, 0.3),
                                                      (0.2, 0.25, 0.18), checks=4))

    armature_data = bpy.data.armatures.new("CreatureRig")
    rig = bpy.data.objects.new("CreatureRig", armature_data)
    bpy.context.scene.collection.objects.link(rig)
    bpy.context.view_layer.objects.active = rig
    bpy.ops.object.mode_set(mode="EDIT")
    bones = armature_data.edit_bones
    hips = bones.new("Hips")
    hips.head, hips.tail = (0, 0, 2.0), (0, 0, 3.0)
    spine = bones.new("Spine")
    spine.head, spine.tail = (0, 0, 3.0), (0, 0, 4.5)
    spine.parent = hips
    for side, x in (("L", 0.5), ("R", -0.5)):
        leg = bones.new("Leg." + side)
        leg.head, leg.tail = (x, 0, 2.0), (x, 0, 0.0)
        leg.parent = hips
    bpy.ops.object.mode_set(mode="OBJECT")

    # One mesh: a torso over two legs, each vertex bound to one or two bones.
    mesh = bpy.data.meshes.new("CreatureBody-mesh")
    verts, faces, groups = [], [], []

    def block(lo, hi, weights):
        base = len(verts)
        for z in (lo[2], hi[2]):
            for y in (lo[1], hi[1]):
                for x in (lo[0], hi[0]):
                    verts.append((x, y, z))
                    groups.append(weights(z))
        for f in [(0, 2, 3, 1), (4, 5, 7, 6), (0, 1, 5, 4), (2, 6, 7, 3), (0, 4, 6, 2), (1, 3, 7, 5)]:
            faces.append(tuple(base + i for i in f))

    block((-0.8, -0.5, 2.0), (0.8, 0.5, 3.0), lambda z: {"Hips": 1.0})
    block((-0.7, -0.45, 3.0), (0.7, 0.45, 4.5), lambda z: {"Spine": 1.0} if z > 3.5 else {"Spine": 0.5, "Hips": 0.5})
    block((0.25, -0.25, 0.0), (0.75, 0.25, 2.0), lambda z: {"Leg.L": 1.0} if z < 1.9 else {"Leg.L": 0.6, "Hips": 0.4})
    block((-0.75, -0.25, 0.0), (-0.25, 0.25, 2.0), lambda z: {"Leg.R": 1.0} if z < 1.9 else {"Leg.R": 0.6, "Hips": 0.4})
    mesh.from_pydata(verts, [], faces)
    mesh.update()
    layer = mesh.uv_layers.new(name="UVMap")
    for poly in mesh.polygons:
        for loop_index in poly.loop_indices:
            co = mesh.vertices[mesh.loops[loop_index].vertex_index].co
            layer.data[loop_index].uv = ((co[0] + co[1]) * 0.5 + 0.5, co[2] / 4.5)
    mesh.materials.append(skin)
    body = bpy.data.objects.new("CreatureBody", mesh)
    bpy.context.scene.collection.objects.link(body)
    for name in ("Hips", "Spine", "Leg.L", "Leg.R"):
        body.vertex_groups.new(name=name)
    for index, weights in enumerate(groups):
        for name, w in weights.items():
            body.vertex_groups[name].add([index], w, "REPLACE")
    body.parent = rig
    modifier = body.modifiers.new("Armature", "ARMATURE")
    modifier.object = rig

    # The walk: legs swing +-25 degrees, the hips bob; frame 24 repeats frame 0.
    # Keys start at frame 0 (time 0): an action starting at frame 1 would
    # hold its first pose for a frame at every loop.
    rig.animation_data_create()
    action = bpy.data.actions.new("CreatureWalk")
    rig.animation_data.action = action
    bpy.context.view_layer.objects.active = rig
    bpy.ops.object.mode_set(mode="POSE")
    pose = rig.pose.bones
    for pb in pose:
        pb.rotation_mode = "XYZ"
    keys = {0: 1.0, 6: 0.0, 12: -1.0, 18: 0.0, 24: 1.0}
    for frame, s in keys.items():
        pose["Leg.L"].rotation_euler = (math.radians(25.0) * s, 0.0, 0.0)
        pose["Leg.R"].rotation_euler = (-math.radians(25.0) * s, 0.0, 0.0)
        pose["Hips"].location = (0.0, 0.1 * abs(s), 0.0)
        pose["Spine"].rotation_euler = (0.0, math.radians(5.0) * s, 0.0)
        for pb in pose:
            pb.keyframe_insert("rotation_euler", frame=frame)
            pb.keyframe_insert("location", frame=frame)
    bpy.ops.object.mode_set(mode="OBJECT")
    for curve in action.fcurves:
        for point in curve.keyframe_points:
            point.interpolation = "LINEAR"

    export(os.path.join(folder, "sample_creature.dae"), animations=True)


def export(path, animations):
    bpy.ops.wm.collada_export(
        filepath=path,
        apply_modifiers=False,
        selected=False,
        include_children=True,
        include_armatures=True,
        include_shapekeys=False,
        deform_bones_only=True,
        include_animations=animations,
        include_all_actions=False,
        export_animation_type_selection="sample",
        sampling_rate=1,
        keep_smooth_curves=False,
        keep_keyframes=False,
        active_uv_only=True,
        use_texture_copies=True,
        triangulate=True,
        use_object_instantiation=True,
        use_blender_profile=True,
        sort_by_name=True,
        export_object_transformation_type_selection="matrix",
        open_sim=False,
        limit_precision=True,
        keep_bind_info=False,
    )
    print("wrote", path)


def main():
    args = parse_args()
    folder = os.path.abspath(args.out)
    os.makedirs(folder, exist_ok=True)
    try:
        build_level(folder)
        build_creature(folder)
    finally:
        shutil.rmtree(SCRATCH, ignore_errors=True)


main()
