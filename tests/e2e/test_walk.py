"""The real binary: walking and turning change the view, F2 shows the statistics."""

import os
import sys
import time

from vestrel_driver import GameSession, Runner

BINARY = os.path.abspath(sys.argv[1])


def changed_share(a, b, threshold=16):
    """Share of pixels whose colour moved by more than threshold in any channel."""
    small_a = a.resize((160, 120))
    small_b = b.resize((160, 120))
    moved = sum(1 for p, q in zip(small_a.getdata(), small_b.getdata())
                if max(abs(x - y) for x, y in zip(p, q)) > threshold)
    return moved / (160 * 120)


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

        game.key("w", hold=1.0)
        settle(game)
        walked = game.screenshot("walk_after_w")
        walk_change = changed_share(before, walked)
        assert walk_change > idle + 0.05, (idle, walk_change)

        # The game puts the cursor back in the middle after every step; a
        # jump to the right turns the player right.
        game.focus()
        game.xdotool("mousemove", "--window", game.window, 600, 300)
        settle(game)
        turned = game.screenshot("walk_after_turn")
        turn_change = changed_share(walked, turned)
        assert turn_change > idle + 0.05, (idle, turn_change)

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
    finally:
        game.stop()


if __name__ == "__main__":
    runner = Runner()
    runner.run("walking and turning change the view; F2 shows the statistics", walking_turning_and_stats)
    sys.exit(runner.finish())
