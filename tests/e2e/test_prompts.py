"""The real binary with real X input: walking up to the flashlight shows its prompt, E picks it up and
the hint that the left button turns the light blue shows until the light is blue."""

import os
import sys
import time

from vestrel_driver import GameSession, Runner

BINARY = os.path.abspath(sys.argv[1])
WIDTH, HEIGHT = 800, 600
GLYPH = HEIGHT // 30  # the HUD's text cell


def text_pixels(image, top, bottom):
    """Near-white grey pixels (the HUD's letters) between rows top and bottom (from the top), in the
    middle 80 % of the width. The house is far darker at the default ambient light, and what the
    flashlight lights brightly keeps the colour of its walls."""
    count = 0
    for y in range(top, bottom):
        for x in range(WIDTH // 10, WIDTH * 9 // 10, 2):
            pixel = image.getpixel((x, y))
            if min(pixel) > 180 and max(pixel) - min(pixel) < 12:
                count += 1
    return count


def prompt_pixels(image):
    # The prompt's line: its top one and a half cells under the middle of the picture.
    top = HEIGHT // 2 + GLYPH * 3 // 2
    return text_pixels(image, top, top + GLYPH)


def hint_pixels(image):
    # The hint's three lines: from four cells under the top.
    top = 4 * GLYPH
    return text_pixels(image, top, top + 4 * GLYPH)


def wait_for(game, name, condition, timeout=30.0):
    deadline = time.time() + timeout
    while True:
        shot = game.screenshot(name)
        if condition(shot) or time.time() > deadline:
            return shot


def prompt_pick_up_and_hint():
    game = GameSession(BINARY, [WIDTH, HEIGHT, "0", "60", "0.1"])
    try:
        game.wait_for_window()
        time.sleep(3.0)
        start = game.screenshot("prompts_start")
        assert prompt_pixels(start) == 0, prompt_pixels(start)
        assert hint_pixels(start) == 0, hint_pixels(start)

        # The flashlight lies on the side table 60 degrees to the left of the start view and 12 below
        # it (the cursor goes back to the middle after every step; 0.1 degree a pixel).
        game.focus()
        for _ in range(3):
            game.xdotool("mousemove", "--window", game.window, WIDTH // 2 - 201, HEIGHT // 2)
            time.sleep(0.5)
        game.xdotool("mousemove", "--window", game.window, WIDTH // 2, HEIGHT // 2 + 120)
        time.sleep(0.5)
        # Towards it, a short step at a time (a screenshot takes longer than the walk), until its
        # prompt shows.
        near = start
        for attempt in range(40):
            game.key("w", hold=0.08)
            near = game.screenshot("prompts_walking")
            if prompt_pixels(near) > 150:
                break
        assert prompt_pixels(near) > 150, prompt_pixels(near)
        assert hint_pixels(near) == 0, hint_pixels(near)

        game.key("e")
        picked = wait_for(game, "prompts_picked_up", lambda shot: hint_pixels(shot) > 300)
        assert hint_pixels(picked) > 300, hint_pixels(picked)
        assert prompt_pixels(picked) == 0, prompt_pixels(picked)

        # The left button turns the light blue: the hint has done its work.
        game.click(WIDTH // 2, HEIGHT // 2, button=1)
        blue = wait_for(game, "prompts_blue", lambda shot: hint_pixels(shot) == 0)
        assert hint_pixels(blue) == 0, hint_pixels(blue)

        game.key("Escape")
        code = game.wait_exit()
        out = game.output()
        assert code == 0, (code, out)
        assert "Picked up item: Flashlight_item" in out, out
        assert "AddressSanitizer" not in out and "runtime error" not in out, out
        print("  text pixels: prompt near the flashlight %d, hint after E %d"
              % (prompt_pixels(near), hint_pixels(picked)))
    finally:
        game.stop()


if __name__ == "__main__":
    runner = Runner()
    runner.run("walking up to the flashlight prompts for it; E takes it and the blue-light hint shows until "
               "the light is blue", prompt_pick_up_and_hint)
    sys.exit(runner.finish())
