"""The real binary: walking forward nears the door ahead and backward leaves it, turning changes
the view, F2 shows the statistics."""

import math
import os
import sys
import time

from vestrel_driver import (FOCAL_PIXELS_800_600, GameSession, Runner, changed_share, door_share, lit_fraction,
                            picture_shift)

BINARY = os.path.abspath(sys.argv[1])


def hold_until(game, key, condition, timeout=20.0):
    """Holds key down until condition(screenshot) holds or timeout passes."""
    game.focus()
    game.xdotool("keydown", key)
    try:
        deadline = time.time() + timeout
        while not condition(game.screenshot("walk_holding_" + key)) and time.time() < deadline:
            pass
    finally:
        game.xdotool("keyup", key)


def settle(game, seconds=1.5):
    """Lets the player land and the view come to rest."""
    time.sleep(seconds)


def walking_turning_and_stats():
    game = GameSession(BINARY, ["800", "600", "0", "60", "0.3"])
    try:
        game.wait_for_window()
        settle(game, 4.0)
        before = game.screenshot("walk_before")
        again = game.screenshot("walk_still")
        idle = changed_share(before, again)
        # The player starts facing the closed door, whole, with wall either side.
        start_door = door_share(before)
        assert lit_fraction(before) > 0.9, lit_fraction(before)
        assert 0.3 < start_door < 0.7, start_door

        # Forward brings the door closer: it covers more of the picture. The
        # key is held until that shows (or 20 s pass), so a slow machine only
        # takes longer.
        hold_until(game, "w", lambda shot: door_share(shot) > start_door + 0.25)
        settle(game)
        walked = game.screenshot("walk_after_w")
        walk_change = changed_share(before, walked)
        near_door = door_share(walked)
        assert walk_change > idle + 0.05, (idle, walk_change)
        assert near_door > start_door + 0.2, (start_door, near_door)

        # Backward takes it away again.
        hold_until(game, "s", lambda shot: door_share(shot) < near_door - 0.15)
        settle(game)
        backed = game.screenshot("walk_after_s")
        back_door = door_share(backed)
        assert back_door < near_door - 0.1, (near_door, back_door)

        # The game puts the cursor back in the middle after every step; a
        # jump of 200 pixels to the right turns the player right by 20 degrees
        # (0.1 degree a pixel): the picture moves left by f tan 20 deg.
        game.focus()
        game.xdotool("mousemove", "--window", game.window, 600, 300)
        settle(game)
        turned = game.screenshot("walk_after_turn")
        turn_change = changed_share(backed, turned)
        assert turn_change > idle + 0.05, (idle, turn_change)
        shift = picture_shift(backed, turned, vertical=False, limit=260)
        want = -FOCAL_PIXELS_800_600 * math.tan(math.radians(20.0))
        assert abs(shift - want) <= 0.1 * abs(want), (shift, want)

        game.key("F2")
        settle(game, 1.0)
        stats = game.screenshot("walk_stats")
        # The statistics text sits in the top-left corner; the rest stays put.
        corner = (0, 0, 240, 70)
        stats_change = changed_share(turned.crop(corner), stats.crop(corner))
        bright = sum(1 for p in stats.crop(corner).getdata() if min(p) > 180)
        assert stats_change > 0.02 and bright > 50, (stats_change, bright)

        game.key("Escape")
        code = game.wait_exit()
        out = game.output()
        assert code == 0, (code, out)
        assert "Display FPS: ON" in out, out
        assert "ERROR" not in out and "AddressSanitizer" not in out and "runtime error" not in out, out
        print("  changed share: still %.3f, after W %.3f, after turn %.3f, after F2 %.3f"
              % (idle, walk_change, turn_change, stats_change))
        print("  door share of the middle rows: start %.2f, after W %.2f, after S %.2f; turn moved %d px for %.1f"
              % (start_door, near_door, back_door, shift, want))
    finally:
        game.stop()


if __name__ == "__main__":
    runner = Runner()
    runner.run("forward nears the door, backward leaves it, turning right moves it left; F2 shows the statistics",
               walking_turning_and_stats)
    sys.exit(runner.finish())
