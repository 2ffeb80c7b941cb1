"""The real binary: the monster catches a player who walks into its corridor,
the lose screen shows, Restart brings the house back, Escape ends cleanly.

Until the statue opens the corridor door in play, the player cannot reach the
monster's path from the spawn (the house is built that way), so the lose run
plays in a copy of the game's folder whose house has that door already slid
open; everything else (binary, assets, shaders, input) is the real thing.
"""

import os
import shutil
import sys
import tempfile
import time

from vestrel_driver import SCREEN_DIR, SOURCE_DIR, GameSession, Runner, lit_fraction

BINARY = os.path.abspath(sys.argv[1])
WIDTH, HEIGHT = 800, 600
ARGS = [str(WIDTH), str(HEIGHT), "0", "60", "0.3"]
TEARDOWN = ["window closed", "scene deleted", "GLFW Terminated, Game Delete done"]

# Door_box in the Z-up file: it opens by sliding 5 along the world's +z,
# which is the file's -y.
DOOR_CLOSED = '<matrix sid="transform">1 0 0 6.0000 0 1 0 0.0000 0 0 1 2.5500 0 0 0 1</matrix>'
DOOR_OPEN = '<matrix sid="transform">1 0 0 6.0000 0 1 0 -5.0000 0 0 1 2.5500 0 0 0 1</matrix>'


def button_centre(k, count=2):
    """Window coordinates (top-left origin) of game-over button k (1-based)."""
    return (WIDTH // (count + 1)) * k, HEIGHT - HEIGHT // 4


def game_folder_with_open_door():
    """A working folder like the repository's, with the corridor door open."""
    folder = tempfile.mkdtemp(prefix="vestrel_e2e_")
    os.symlink(os.path.join(SOURCE_DIR, "Shader"), os.path.join(folder, "Shader"))
    assets = os.path.join(folder, "Assets")
    os.mkdir(assets)
    for entry in os.listdir(os.path.join(SOURCE_DIR, "Assets")):
        if entry != "house1.dae":
            os.symlink(os.path.join(SOURCE_DIR, "Assets", entry), os.path.join(assets, entry))
    with open(os.path.join(SOURCE_DIR, "Assets", "house1.dae")) as source:
        house = source.read()
    assert house.count(DOOR_CLOSED) == 1, "the door's place in the house has changed"
    with open(os.path.join(assets, "house1.dae"), "w") as copy:
        copy.write(house.replace(DOOR_CLOSED, DOOR_OPEN))
    return folder


def red_share(image):
    small = image.resize((160, 120))
    return sum(1 for r, g, b in small.getdata() if r > 90 and r > g + 50 and r > b + 50) / (160 * 120)


def is_lose_screen(shot):
    """The lose message: big red letters across the upper half, Restart lit."""
    message = shot.crop((0, HEIGHT // 5, WIDTH, HEIGHT // 2))
    x, y = button_centre(2)
    restart = shot.crop((x - 40, y - 10, x + 40, y + 10))
    return red_share(message) > 0.1 and lit_fraction(restart) > 0.2


def changed_share(a, b, threshold=24):
    small_a = a.resize((160, 120))
    small_b = b.resize((160, 120))
    moved = sum(1 for p, q in zip(small_a.getdata(), small_b.getdata())
                if max(abs(x - y) for x, y in zip(p, q)) > threshold)
    return moved / (160 * 120)


def wait_for(condition, timeout, interval=0.5):
    deadline = time.time() + timeout
    while time.time() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(interval)
    return None


def caught_in_the_corridor_then_restart_and_escape():
    folder = game_folder_with_open_door()
    game = GameSession(BINARY, ARGS, cwd=folder)
    try:
        game.wait_for_window()
        assert wait_for(lambda: "Done loading enemy" in game.output(), 120), game.output()
        time.sleep(2.0)  # land on the floor
        spawn = game.screenshot("monster_spawn_view")
        assert lit_fraction(spawn) > 0.2, lit_fraction(spawn)

        # Straight ahead through the open doorway into the corridor (x 6 to
        # 12), where the monster walks from end to end along x = 9; 1.1 s at
        # 8 units/s stops there with room for the input's timing either way,
        # and anywhere in the corridor is within its 3 units. Then wait.
        game.key("w", hold=1.1)
        shots = []

        def lost():
            shot = game.screenshot("monster_waiting")
            shots.append(shot)
            return shot if is_lose_screen(shot) else None
        lose = wait_for(lost, 60, interval=0.3)
        assert lose is not None, "never caught:\n" + game.output()
        lose.save(os.path.join(SCREEN_DIR, "monster_lose.png"))

        # Escape does nothing on the game-over screen.
        game.key("Escape")
        time.sleep(1.0)
        assert game.proc.poll() is None, "Escape ended the game on the lose screen"
        assert is_lose_screen(game.screenshot("monster_lose_after_escape"))

        x, y = button_centre(2)  # RESTART
        game.click(x, y)
        assert wait_for(lambda: game.output().count("Done loading enemy") >= 2, 120), game.output()
        time.sleep(2.5)  # land again
        back = game.screenshot("monster_restarted")
        assert not is_lose_screen(back)
        # The fresh game starts where the first did: the same view of the
        # living room.
        share = changed_share(spawn, back)
        assert share < 0.1, share
        assert game.output().count("Done loading screen") == 2, game.output()

        game.key("Escape")
        code = game.wait_exit(timeout=120)
        out = game.output()
        assert code == 0, (code, out)
        assert [l for l in out.splitlines() if l in TEARDOWN] == TEARDOWN, out
        assert "AddressSanitizer" not in out and "runtime error" not in out, out
        print("  caught after %d looks; restarted view differs from the first by %.3f" % (len(shots), share))
    finally:
        game.stop()
        shutil.rmtree(folder, ignore_errors=True)


def won_at_the_sink_then_exit():
    """The winning run: the whole puzzle by real input, the sink, then Exit.

    The route (flashlight, banana to the statue, can to the generator, file to
    the cabinet, duck to the sink) needs the items, switches and the E key;
    this run is switched on with VESTREL_E2E_WIN=1 once they are in the game.
    """
    game = GameSession(BINARY, ARGS)
    try:
        game.wait_for_window()
        assert wait_for(lambda: "Done loading enemy" in game.output(), 120), game.output()
        raise NotImplementedError("the route through the house is not scripted yet")
    finally:
        game.stop()


if __name__ == "__main__":
    runner = Runner()
    runner.run("caught_in_the_corridor_then_restart_and_escape", caught_in_the_corridor_then_restart_and_escape)
    if os.environ.get("VESTREL_E2E_WIN") == "1":
        runner.run("won_at_the_sink_then_exit", won_at_the_sink_then_exit)
    else:
        print("[ SKIP ] won_at_the_sink_then_exit: needs the sink and the items (set VESTREL_E2E_WIN=1)")
    sys.exit(runner.finish())
