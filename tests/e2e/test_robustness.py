"""The real binary against damaged files and a resized window.

Each bad-file run plays from a private copy of the game's folders in which
the named files are missing, empty, cut in half or replaced by random bytes;
every other file is a link to the real one. A damaged shader must stop the
game with exit status 1 and a line naming the file; any other damaged file is
reported and the game plays on and closes cleanly. No run may show a
sanitizer report.
"""

import os
import random
import re
import sys
import tempfile
import time

from vestrel_driver import GameSession, Runner, SOURCE_DIR, drawn_fraction

BINARY = os.path.abspath(sys.argv[1])
KINDS = ("missing", "empty", "truncated", "random")
IMAGE_EXTENSIONS = (".png", ".jpg")
SOUND_EXTENSIONS = (".wav", ".mp3", ".ogg", ".flac")
SANITIZER_MARKS = ("AddressSanitizer", "LeakSanitizer", "runtime error:", "UndefinedBehaviorSanitizer")


def damaged_bytes(original, kind, seed):
    if kind == "empty":
        return b""
    if kind == "truncated":
        return original[: len(original) // 2]
    if kind == "deep":
        # 50,000 nodes nested in the first visual scene: deep enough to
        # exhaust the importer's stack were it read.
        scene = original.index(b"<visual_scene")
        at = original.index(b">", scene) + 1
        return original[:at] + b"<node>" * 50000 + b"</node>" * 50000 + original[at:]
    rng = random.Random(seed)
    return bytes(rng.getrandbits(8) for _ in range(min(len(original), 65536)))


def game_tree(root, damage):
    """Mirrors Assets and Shader under root: links, except for the files in
    damage (relative path -> kind), which are written damaged, left out or
    replaced by a folder of the same name."""
    for top in ("Assets", "Shader"):
        for folder, _dirs, files in os.walk(os.path.join(SOURCE_DIR, top)):
            relative_folder = os.path.relpath(folder, SOURCE_DIR)
            os.makedirs(os.path.join(root, relative_folder), exist_ok=True)
            for name in files:
                relative = os.path.join(relative_folder, name)
                target = os.path.join(root, relative)
                kind = damage.get(relative)
                if kind is None:
                    os.symlink(os.path.join(SOURCE_DIR, relative), target)
                elif kind == "folder":
                    os.makedirs(os.path.join(target, "inside"))
                elif kind != "missing":
                    with open(os.path.join(SOURCE_DIR, relative), "rb") as source:
                        original = source.read()
                    with open(target, "wb") as out:
                        out.write(damaged_bytes(original, kind, relative))


def asset_files(extensions):
    found = []
    for folder, _dirs, files in os.walk(os.path.join(SOURCE_DIR, "Assets")):
        for name in files:
            if name.lower().endswith(extensions):
                found.append(os.path.relpath(os.path.join(folder, name), SOURCE_DIR))
    return sorted(found)


def assert_no_sanitizer_report(out):
    for mark in SANITIZER_MARKS:
        assert mark not in out, out[-4000:]


def plays_on_and_closes(damage, expect_lines):
    with tempfile.TemporaryDirectory() as root:
        game_tree(root, damage)
        game = GameSession(BINARY, cwd=root)
        try:
            game.wait_for_window(timeout=240)
            time.sleep(1.0)  # a few frames drawn with whatever loaded
            game.close_window()
            code = game.wait_exit(timeout=120)
            out = game.output()
            assert code == 0, (code, out[-4000:])
            assert "GLFW Terminated, Game Delete done" in out, out[-4000:]
            assert_no_sanitizer_report(out)
            for line in expect_lines:
                assert line in out, (line, out[-4000:])
            return out
        finally:
            game.stop()


def damaged_images_and_sounds_are_reported_and_play_goes_on():
    images = asset_files(IMAGE_EXTENSIONS)
    sounds = asset_files(SOUND_EXTENSIONS)
    assert len(images) >= 50 and len(sounds) >= 6, (images, sounds)
    for kind in KINDS:
        damage = {path: kind for path in images + sounds}
        # The monster's model is damaged with the rest: the game must play
        # on without it too.
        damage[os.path.join("Assets", "enemy_rigged.dae")] = kind
        started = time.time()
        out = plays_on_and_closes(damage, [
            "Failed to load image from path: Assets/Screen_message/Loadingscreen/Loadingscreen_0.png",
            "Done loading screen",
            "Loading model failed.\nError parsing Assets\\enemy_rigged.dae: ",
        ])
        # A damaged sound keeps its three lines and gains one naming it, its
        # file and the reason.
        named = re.search(r'^Sound "[a-z0-9_]+" from Assets\\Audio\\\w+\.\w+: (.+)$', out, re.M)
        assert named and len(named.group(1)) > 3, out[-4000:]
        print("  %s images and sounds: played on and closed in %.1f s (%s)"
              % (kind, time.time() - started, named.group(0)))


def damaged_level_and_model_are_reported_and_play_goes_on():
    level = os.path.join("Assets", "house1.dae")
    model = os.path.join("Assets", "enemy_rigged.dae")
    cases = (
        (level, "missing", ["Error parsing Assets\\house1.dae: Unable to open file"]),
        (level, "random", ["Error parsing Assets\\house1.dae: "]),
        (level, "folder", ["Error parsing Assets\\house1.dae: a folder, not a file"]),
        (model, "deep", ["Loading model failed.\nError parsing Assets\\enemy_rigged.dae: "
                         "elements nested deeper than 256 levels"]),
    )
    for path, kind, lines in cases:
        plays_on_and_closes({path: kind}, lines)


def damaged_shaders_stop_start_up_naming_the_file():
    cases = (
        ("missing", "glass.frag", "Failed to open shader file: Shader\\glass.frag"),
        ("empty", "texLights.vert", "Failed to compile shader: Shader\\texLights.vert"),
        ("truncated", "hud.frag", "Failed to compile shader: Shader\\hud.frag"),
        ("random", "font.vert", "Failed to compile shader: Shader\\font.vert"),
        ("folder", "skinning.vert", "Failed to open shader file: Shader\\skinning.vert"),
    )
    for kind, name, line in cases:
        with tempfile.TemporaryDirectory() as root:
            game_tree(root, {os.path.join("Shader", name): kind})
            game = GameSession(BINARY, cwd=root)
            try:
                code = game.wait_exit(timeout=120)
                out = game.output()
                assert code == 1, (kind, name, code, out[-4000:])
                assert line in out, (line, out[-4000:])
                assert_no_sanitizer_report(out)
            finally:
                game.stop()


def strip_lit(image, box):
    return drawn_fraction(image.crop(box))


def resized_window_is_filled_by_the_picture():
    game = GameSession(BINARY, ["640", "480"])
    try:
        game.wait_for_window(timeout=240)
        time.sleep(1.0)
        before = game.screenshot("resize_before")
        assert before.size == (640, 480), before.size
        game.xdotool("windowsize", game.window, 1000, 700)
        # Wait for the window system, then for a frame at the new size.
        deadline = time.time() + 60
        shot = None
        while time.time() < deadline:
            shot = game.screenshot("resize_after")
            if shot.size == (1000, 700) and strip_lit(shot, (700, 0, 1000, 700)) > 0.5:
                break
            time.sleep(0.5)
        assert shot.size == (1000, 700), shot.size
        whole = drawn_fraction(shot)
        right = strip_lit(shot, (700, 0, 1000, 700))   # beyond the old 640 x 480 corner
        top = strip_lit(shot, (0, 0, 1000, 200))
        print("  lit share after the resize: whole %.2f, right strip %.2f, top strip %.2f" % (whole, right, top))
        assert right > 0.3 * whole and top > 0.3 * whole, (whole, right, top)
        game.close_window()
        assert game.wait_exit(timeout=120) == 0, game.output()[-4000:]
        assert_no_sanitizer_report(game.output())
    finally:
        game.stop()


def full_screen_at_a_size_the_screen_cannot_take_fills_the_screen():
    """Xvfb's one screen mode is 1280 x 1024: a 640 x 480 full screen gets the
    whole screen, and the picture must cover it, not a 640 x 480 corner."""
    game = GameSession(BINARY, ["640", "480", "1"])
    try:
        game.wait_for_window(timeout=240)
        time.sleep(1.0)
        shot = game.screenshot("fullscreen")
        assert shot.size == (1280, 1024), shot.size
        whole = drawn_fraction(shot)
        outside = strip_lit(shot, (640, 0, 1280, 1024))
        assert outside > 0.3 * whole, (whole, outside)
        game.close_window()
        assert game.wait_exit(timeout=120) == 0
        out = game.output()
        assert "Window is 1280 x 1024 pixels (asked for 640 x 480)" in out, out[-4000:]
        assert_no_sanitizer_report(out)
    finally:
        game.stop()


if __name__ == "__main__":
    runner = Runner()
    runner.run("damaged shaders stop start-up naming the file", damaged_shaders_stop_start_up_naming_the_file)
    runner.run("a resized window is filled by the picture", resized_window_is_filled_by_the_picture)
    runner.run("a full screen at a size the screen cannot take fills the screen",
               full_screen_at_a_size_the_screen_cannot_take_fills_the_screen)
    runner.run("a damaged level or model is reported and play goes on",
               damaged_level_and_model_are_reported_and_play_goes_on)
    runner.run("damaged images and sounds are reported and play goes on",
               damaged_images_and_sounds_are_reported_and_play_goes_on)
    sys.exit(runner.finish())
