"""The real binary: command line, loading screen then the house, frame-rate title, clean close."""

import os
import subprocess
import sys
import time

from vestrel_driver import GameSession, Runner, SOURCE_DIR, changed_share, lit_fraction, sanitizer_env

BINARY = os.path.abspath(sys.argv[1])
USAGE = "Usage: programm.exe WIDTH HEIGHT FULLSCREEN_FLAG REFRESH_RATE AMBIENT"


def run_without_display(args):
    env = sanitizer_env(dict(os.environ), BINARY)
    env.pop("DISPLAY", None)
    return subprocess.run([BINARY] + args, cwd=SOURCE_DIR, env=env, stdin=subprocess.DEVNULL,
                          capture_output=True, text=True, timeout=60)


def bad_command_lines_print_usage_and_exit_1():
    for args in (["abc", "600"], ["1024", "768", "2"], ["1024", "768", "true"], ["800", "600", "0", "x"],
                 ["-5", "600"], ["800", "0"], ["800", "600", "0", "-60"],
                 # Sizes the window system crashed on, failed on or wrapped.
                 ["2147483647", "2147483647"], ["100000", "100000"], ["70000", "600"], ["800", "16385"]):
        result = run_without_display(args)
        assert result.returncode == 1, (args, result.returncode, result.stdout, result.stderr)
        lines = result.stdout.splitlines()
        assert lines == [USAGE], (args, lines)


def starts_shows_fps_title_and_closes_cleanly():
    game = GameSession(BINARY, ["1024", "768", "0", "60", "0.3"])
    try:
        # The loading screen shows while the house loads, before the first
        # frame-rate title: the name in light letters on a dark picture.
        game.wait_for_window(title_prefix="Vestrel")
        def letters(shot):
            return sum(1 for p in shot.resize((256, 192)).getdata() if min(p) > 150) / (256 * 192)

        # Look until the loading screen is seen (the house, drawn once the
        # title shows a frame rate, is lit nearly everywhere and is no match).
        loading = None
        seen = []
        while game.title() == "Vestrel":
            try:
                shot = game.screenshot("startup_loading")
            except subprocess.CalledProcessError:
                # Named but not mapped yet: nothing to grab until it shows.
                continue
            seen.append((round(lit_fraction(shot), 2), round(letters(shot), 3)))
            if 0.2 < lit_fraction(shot) < 0.85 and letters(shot) > 0.01:
                loading = shot
                break
        assert loading is not None, ("no loading screen before the house", seen)

        game.wait_for_window()
        # The title reads "FPS: 0" from the first frame until a full second
        # of frames has been counted; then it shows the rate.
        def rate(title):
            return float(title[len("FPS: "):]) if title.startswith("FPS: ") else 0.0

        deadline = time.time() + 60
        while rate(game.title()) <= 0 and time.time() < deadline:
            time.sleep(0.2)
        title = game.title()
        assert rate(title) > 0, title
        shot = game.screenshot("startup")
        assert shot.size == (1024, 768), shot.size
        # The house: lit nearly everywhere, and not the loading screen.
        assert lit_fraction(shot) > 0.9, lit_fraction(shot)
        assert changed_share(loading, shot) > 0.5, changed_share(loading, shot)
        game.close_window()
        code = game.wait_exit()
        out = game.output()
        assert code == 0, (code, out)
        lines = out.splitlines()
        assert lines[0] == "Starting with options: width 1024, height 768 fullscreen: 0, 60Hz, Ambient: 0.3", lines
        tail = [l for l in lines if l in ("window closed", "scene deleted", "GLFW Terminated, Game Delete done")]
        assert tail == ["window closed", "scene deleted", "GLFW Terminated, Game Delete done"], out
        assert "ERROR" not in out and "AddressSanitizer" not in out and "runtime error" not in out, out
        assert NO_SOUND not in out, out
        print("  title: %s; lit share: loading screen %.2f, house %.2f; changed share %.2f"
              % (title, lit_fraction(loading), lit_fraction(shot), changed_share(loading, shot)))
    finally:
        game.stop()


NO_SOUND = "No sound device: play goes on without sound"


def escape_ends_the_game():
    # With no sound device at all (OpenAL offered no back end) the game says
    # so once and plays on silently; with one (the null device of the other
    # runs) it says nothing.
    os.environ["ALSOFT_DRIVERS"] = "none"
    try:
        game = GameSession(BINARY)
    finally:
        del os.environ["ALSOFT_DRIVERS"]
    try:
        game.wait_for_window()
        time.sleep(1.0)
        game.key("Escape")
        code = game.wait_exit()
        assert code == 0, (code, game.output())
        assert "GLFW Terminated, Game Delete done" in game.output()
        assert game.output().splitlines().count(NO_SOUND) == 1, game.output()[-3000:]
    finally:
        game.stop()


def missing_shader_stops_start_up():
    """A working directory whose Shader folder lacks one source: fatal, with the path."""
    import shutil
    import tempfile
    with tempfile.TemporaryDirectory() as root:
        os.symlink(os.path.join(SOURCE_DIR, "Assets"), os.path.join(root, "Assets"))
        shutil.copytree(os.path.join(SOURCE_DIR, "Shader"), os.path.join(root, "Shader"))
        os.remove(os.path.join(root, "Shader", "glass.frag"))
        game = GameSession(BINARY, cwd=root)
        try:
            code = game.wait_exit(timeout=60)
            out = game.output()
            assert code == 1, (code, out)
            assert "Failed to open shader file: Shader\\glass.frag" in out, out
        finally:
            game.stop()


if __name__ == "__main__":
    runner = Runner()
    runner.run("bad command lines print the usage line and exit 1", bad_command_lines_print_usage_and_exit_1)
    runner.run("starts, shows the FPS title and closes cleanly", starts_shows_fps_title_and_closes_cleanly)
    runner.run("Escape ends the game (with no sound device)", escape_ends_the_game)
    runner.run("a missing shader source stops start-up", missing_shader_stops_start_up)
    sys.exit(runner.finish())
