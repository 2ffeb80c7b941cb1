#!/usr/bin/env python3
"""Draws a timedemo's frame times (the CSV VESTREL_TIMEDEMO writes) as a PNG.

    plot_frametimes.py FRAMES.csv OUT.png [TITLE]

One point per frame, frame number across, milliseconds up, with the 16.7 ms
line (60 frames per second) and the median marked.
"""
import csv
import sys

from PIL import Image, ImageDraw

WIDTH, HEIGHT = 1000, 360
LEFT, RIGHT, TOP, BOTTOM = 60, 20, 30, 40


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    with open(sys.argv[1], newline="") as f:
        rows = list(csv.DictReader(f))
    title = sys.argv[3] if len(sys.argv) > 3 else sys.argv[1]
    times = [float(r["frame_ms"]) for r in rows]
    if not times:
        print("plot_frametimes.py: no frames in", sys.argv[1])
        return 1
    ordered = sorted(times)
    median = ordered[(len(ordered) + 1) // 2 - 1]
    # The scale stops at four times the median (at least two frames' worth
    # of budget) so that ordinary frames stay readable; longer frames (a level
    # load, a busy machine) are clipped at the top edge and counted.
    p99 = ordered[min(len(ordered) - 1, int(0.99 * len(ordered)))]
    top = max(33.4, min(p99 * 1.2, median * 4.0))
    tick = next(t for t in (1, 2, 5, 10, 20, 50, 100, 200, 500) if top / t <= 10)
    top = float(int(top / tick + 1) * tick)
    clipped = sum(1 for t in times if t > top)
    image = Image.new("RGB", (WIDTH, HEIGHT), "white")
    draw = ImageDraw.Draw(image)
    plot_w = WIDTH - LEFT - RIGHT
    plot_h = HEIGHT - TOP - BOTTOM

    def y_of(ms):
        return TOP + plot_h - min(ms, top) / top * plot_h

    def x_of(i):
        return LEFT + (i / max(1, len(times) - 1)) * plot_w

    for ms in range(0, int(top) + 1, tick):
        y = y_of(ms)
        draw.line([(LEFT, y), (WIDTH - RIGHT, y)], fill=(225, 225, 225))
        draw.text((8, y - 6), f"{ms:3d} ms", fill="black")
    step = max(1, len(times) // 10)
    for i in range(0, len(times), step):
        draw.text((x_of(i) - 10, HEIGHT - BOTTOM + 8), str(i), fill="black")
    draw.line([(LEFT, y_of(16.7)), (WIDTH - RIGHT, y_of(16.7))], fill=(220, 0, 0), width=1)
    draw.text((WIDTH - RIGHT - 120, y_of(16.7) - 14), "16.7 ms (60 fps)", fill=(220, 0, 0))
    draw.line([(LEFT, y_of(median)), (WIDTH - RIGHT, y_of(median))], fill=(0, 140, 0), width=1)
    draw.text((LEFT + 6, y_of(median) - 14), f"median {median:.2f} ms", fill=(0, 140, 0))
    points = [(x_of(i), y_of(ms)) for i, ms in enumerate(times)]
    draw.line(points, fill=(40, 80, 200), width=1)
    draw.rectangle([LEFT, TOP, WIDTH - RIGHT, TOP + plot_h], outline="black")
    draw.text((LEFT, 8), f"Frame time per frame: {title}; {len(times)} frames, {clipped} above the top edge",
              fill="black")
    draw.text((WIDTH // 2 - 20, HEIGHT - 16), "frame", fill="black")
    image.save(sys.argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main())
