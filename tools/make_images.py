#!/usr/bin/python3
"""Draws every 2D image of the game: loading screen, win and lose messages,
the game-over buttons, the HUD font atlas, the item icons, the TV frames and
the icon the desktop shows for the installed game.

Usage: tools/make_images.py [--out DIR]   (DIR defaults to the repository root)

Output is deterministic: all noise comes from fixed seeds and all text is
rendered from the system's DejaVu fonts (Debian fonts-dejavu-core).
Needs Debian's python3-pil and python3-numpy.
"""

import argparse
import os
import sys

try:
    import numpy as np
    from PIL import Image, ImageDraw, ImageFilter, ImageFont
except ImportError:
    # A python3 from pyenv or a venv does not see Debian's packages; retry with
    # the system interpreter once.
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != os.path.realpath(
            "/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

FONT_DIR = "/usr/share/fonts/truetype/dejavu"
SERIF_BOLD = os.path.join(FONT_DIR, "DejaVuSerif-Bold.ttf")
SANS_BOLD = os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf")
SANS = os.path.join(FONT_DIR, "DejaVuSans.ttf")
MONO_BOLD = os.path.join(FONT_DIR, "DejaVuSansMono-Bold.ttf")

# The HUD samples the atlas as a fixed 1024 x 1024 grid of 10 x 10 cells and
# shows only the upper-left (cell - 0.02 * 1024) pixels of each cell.
ATLAS_SIZE = 1024
ATLAS_CELLS = 10
ATLAS_CELL = ATLAS_SIZE / ATLAS_CELLS
ATLAS_VISIBLE = ATLAS_CELL - 0.02 * ATLAS_SIZE
ATLAS_SPACE_CELL = 98


def font(path, size):
    return ImageFont.truetype(path, size)


def save(img, out, rel, **kwargs):
    path = os.path.join(out, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if path.endswith(".png"):
        img.save(path, optimize=True, **kwargs)
    else:
        img.save(path, **kwargs)
    print("wrote", rel)


def noise(width, height, seed, amount):
    """Film grain in 2 x 2 pixel blocks: coarse enough to see, and it keeps the PNGs small."""
    rng = np.random.RandomState(seed)
    grain = rng.normal(0.0, amount, ((height + 1) // 2, (width + 1) // 2))
    return np.round(np.kron(grain, np.ones((2, 2)))[:height, :width])


def to_image(rgb):
    return Image.fromarray(np.clip(rgb, 0, 255).astype(np.uint8), "RGB")


def dark_backdrop(width, height, seed, base=(18, 14, 14), glow=(60, 20, 18), grain=2.5):
    """A vignetted, grainy dark background with a dim warm glow in the middle."""
    ys, xs = np.mgrid[0:height, 0:width].astype(np.float64)
    dx = (xs - width / 2) / (width / 2)
    dy = (ys - height / 2) / (height / 2)
    r = np.sqrt(dx * dx + dy * dy)
    centre = np.clip(1.0 - r, 0.0, 1.0) ** 1.6
    vignette = np.clip(1.15 - 0.55 * r * r, 0.25, 1.0)
    grain_map = noise(width, height, seed, grain)
    rgb = np.zeros((height, width, 3))
    for c in range(3):
        rgb[..., c] = (base[c] + glow[c] * centre) * vignette + grain_map
    return rgb


def text_size(draw, text, fnt):
    box = draw.textbbox((0, 0), text, font=fnt)
    return box[2] - box[0], box[3] - box[1], box


def glow_text(img, centre, text, fnt, colour, glow_colour, glow_radius, spacing=0):
    """Draws text centred at `centre` with a soft coloured halo behind it."""
    draw = ImageDraw.Draw(img)
    w, h, box = text_size(draw, text, fnt)
    x = int(centre[0] - w / 2 - box[0])
    y = int(centre[1] - h / 2 - box[1])
    mask = Image.new("L", img.size, 0)
    ImageDraw.Draw(mask).text((x, y), text, font=fnt, fill=255)
    halo = mask.filter(ImageFilter.GaussianBlur(glow_radius))
    img.paste(Image.new("RGB", img.size, glow_colour), (0, 0), halo)
    img.paste(Image.new("RGB", img.size, colour), (0, 0), mask)


def drip_text(img, centre, text, fnt, colour, seed):
    """Text whose lower edges run in thin drips, like paint or blood."""
    draw = ImageDraw.Draw(img)
    w, h, box = text_size(draw, text, fnt)
    x = int(centre[0] - w / 2 - box[0])
    y = int(centre[1] - h / 2 - box[1])
    mask = Image.new("L", img.size, 0)
    ImageDraw.Draw(mask).text((x, y), text, font=fnt, fill=255)
    m = np.array(mask) > 128
    rng = np.random.RandomState(seed)
    cols = np.where(m.any(axis=0))[0]
    md = ImageDraw.Draw(mask)
    for col in cols[::3]:
        if rng.rand() < 0.18:
            bottom = np.where(m[:, col])[0].max()
            length = int(rng.uniform(0.1, 0.6) * h)
            thick = int(rng.uniform(1, 3))
            md.rectangle([col - thick // 2, bottom, col + thick // 2, bottom + length], fill=255)
            md.ellipse([col - thick, bottom + length - thick, col + thick, bottom + length + thick], fill=255)
    img.paste(Image.new("RGB", img.size, colour), (0, 0), mask)


# --- Screen messages ------------------------------------------------------


def loading_screen(out):
    width, height = 1280, 720
    img = to_image(dark_backdrop(width, height, seed=11))
    draw = ImageDraw.Draw(img)
    # Faint wallpaper stripes, the house's own.
    for x in range(0, width, 64):
        draw.line([(x, 0), (x, height)], fill=(24, 18, 18), width=2)
    img = Image.blend(img, to_image(dark_backdrop(width, height, seed=11)), 0.5)
    glow_text(img, (width // 2, 290), "VESTREL", font(SERIF_BOLD, 150), (205, 196, 184), (120, 10, 10), 18)
    glow_text(img, (width // 2, 430), "Find a way out.  Do not let it find you.", font(SANS, 34),
              (170, 160, 150), (40, 8, 8), 6)
    glow_text(img, (width // 2, 600), "LOADING ...", font(SANS_BOLD, 40), (220, 210, 200), (130, 20, 16), 10)
    save(img, out, "Assets/Screen_message/Loadingscreen/Loadingscreen_0.png")


def win_message(out):
    # Drawn as a banner 0.75 x window width, centred in the upper half.
    width, height = 1024, 320
    img = to_image(dark_backdrop(width, height, seed=21, base=(10, 16, 18), glow=(20, 60, 60)))
    draw = ImageDraw.Draw(img)
    draw.rectangle([6, 6, width - 7, height - 7], outline=(90, 120, 110), width=3)
    glow_text(img, (width // 2, 130), "YOU ESCAPED", font(SERIF_BOLD, 104), (225, 232, 220), (30, 110, 100), 14)
    glow_text(img, (width // 2, 250), "The water runs clear. The house lets you go ... for now.", font(SANS, 28),
              (170, 180, 172), (10, 40, 40), 4)
    save(img, out, "Assets/Screen_message/WinMsg.png")


def lose_message(out):
    # Stretched over the whole window.
    width, height = 1280, 720
    img = to_image(dark_backdrop(width, height, seed=31, base=(14, 4, 4), glow=(90, 6, 6), grain=3.5))
    drip_text(img, (width // 2, 250), "YOU DIED", font(SERIF_BOLD, 190), (150, 8, 8), seed=32)
    glow_text(img, (width // 2, 250), "YOU DIED", font(SERIF_BOLD, 190), (190, 16, 14), (80, 0, 0), 16)
    glow_text(img, (width // 2, 420), "It found you.", font(SANS, 44), (200, 185, 175), (60, 0, 0), 6)
    save(img, out, "Assets/Screen_message/LoseMsg.png")


# --- Buttons ----------------------------------------------------------------

BUTTON_SIZE = (320, 112)

# (fill, border, text colour, halo colour, text offset)
BUTTON_STATES = {
    "": ((34, 30, 30), (120, 110, 100), (200, 192, 182), (0, 0, 0), 0),
    "_Mouseover": ((96, 14, 12), (240, 70, 56), (255, 246, 236), (220, 40, 30), 0),
    "_Pressed": ((12, 4, 4), (110, 20, 16), (200, 40, 34), (50, 0, 0), 4),
}


def button(out, label, suffix):
    fill, border, text, halo, shift = BUTTON_STATES[suffix]
    width, height = BUTTON_SIZE
    scale = 4
    big = Image.new("RGB", (width * scale, height * scale), (0, 0, 0))
    d = ImageDraw.Draw(big)
    d.rounded_rectangle([2 * scale, 2 * scale, (width - 3) * scale, (height - 3) * scale], radius=18 * scale,
                        fill=border)
    d.rounded_rectangle([7 * scale, 7 * scale, (width - 8) * scale, (height - 8) * scale], radius=14 * scale,
                        fill=fill)
    if suffix == "_Pressed":
        # Inner shadow along the top edge: the button sits lower.
        d.rounded_rectangle([7 * scale, 7 * scale, (width - 8) * scale, 22 * scale], radius=14 * scale,
                            fill=(0, 0, 0))
    img = big.resize((width, height), Image.LANCZOS)
    glow_text(img, (width // 2, height // 2 + shift), label.upper(), font(SANS_BOLD, 46), text, halo,
              8 if suffix == "_Mouseover" else 3)
    save(img, out, "Assets/Screen_message/Buttons/%s_Button%s.png" % (label, suffix))


# --- Font atlas -------------------------------------------------------------


def font_atlas(out):
    img = Image.new("L", (ATLAS_SIZE, ATLAS_SIZE), 0)
    d = ImageDraw.Draw(img)
    fnt = font(MONO_BOLD, 80)
    visible = int(ATLAS_VISIBLE)
    # Every printable ASCII character goes to the cell of its code minus 32; the
    # game uses digits, ':' and capitals, and cell 98 stays empty for the space.
    cap_box = d.textbbox((0, 0), "H", font=fnt)
    cap_top, cap_bottom = cap_box[1], cap_box[3]
    for code in range(33, 127):
        cell = code - 32
        col, row = cell % ATLAS_CELLS, cell // ATLAS_CELLS
        x0, y0 = col * ATLAS_CELL, row * ATLAS_CELL
        ch = chr(code)
        box = d.textbbox((0, 0), ch, font=fnt)
        x = x0 + (visible - (box[2] - box[0])) / 2 - box[0]
        # Align capitals on a common baseline, vertically centred in the visible part.
        y = y0 + (visible - (cap_bottom - cap_top)) / 2 - cap_top
        d.text((round(x), round(y)), ch, font=fnt, fill=236)
    assert ATLAS_SPACE_CELL > 126 - 32
    save(img.convert("RGB"), out, "Assets/Textures/font.jpg", quality=95, subsampling=0)


# --- Item icons -------------------------------------------------------------

ICON = 128
SS = 4  # supersampling factor for smooth edges


def icon_canvas(seed, tint):
    size = ICON * SS
    rgb = dark_backdrop(size, size, seed=seed, base=(22, 20, 20), glow=tint, grain=2.0)
    return to_image(rgb)


def finish_icon(big, out, name):
    img = big.resize((ICON, ICON), Image.LANCZOS)
    d = ImageDraw.Draw(img)
    d.rectangle([0, 0, ICON - 1, ICON - 1], outline=(110, 100, 90), width=2)
    save(img, out, "Assets/Items/%s_item.png" % name)


def s(values):
    return [v * SS for v in values]


def flashlight_icon(out):
    img = icon_canvas(41, (40, 40, 20))
    d = ImageDraw.Draw(img)
    # Beam, head, body, switch: lying diagonally, light to the upper right.
    d.polygon(s([84, 40, 124, 4, 124, 62]), fill=(120, 116, 70))
    d.polygon(s([88, 42, 116, 14, 118, 50]), fill=(190, 184, 120))
    body = [(14, 100), (24, 112), (72, 64), (62, 54)]
    d.polygon(s([c for p in body for c in p]), fill=(70, 72, 78))
    head = [(56, 50), (78, 72), (96, 54), (74, 32)]
    d.polygon(s([c for p in head for c in p]), fill=(150, 152, 160))
    d.line(s([76, 33, 95, 52]), fill=(255, 246, 170), width=5 * SS)
    d.polygon(s([36, 82, 44, 90, 50, 84, 42, 76]), fill=(200, 40, 30))
    d.line(s([14, 100, 24, 112]), fill=(40, 40, 44), width=3 * SS)
    finish_icon(img, out, "flashlight")


def banana_icon(out):
    img = icon_canvas(42, (40, 36, 10))
    # A crescent (outer disc minus a disc shifted up), then tilted like a lying banana.
    size = ICON * SS
    peel = Image.new("L", (size, size), 0)
    pd = ImageDraw.Draw(peel)
    pd.ellipse(s([14, 10, 114, 110]), fill=255)
    pd.ellipse(s([10, -16, 118, 84]), fill=0)
    shade = Image.new("L", (size, size), 0)
    sd = ImageDraw.Draw(shade)
    sd.ellipse(s([14, 10, 114, 110]), fill=255)
    sd.ellipse(s([12, -4, 116, 102]), fill=0)
    tips = Image.new("L", (size, size), 0)
    td = ImageDraw.Draw(tips)
    td.ellipse(s([12, 46, 22, 58]), fill=255)
    td.polygon(s([106, 44, 120, 34, 124, 40, 112, 52]), fill=255)
    for mask, colour in ((peel, (236, 200, 40)), (shade, (176, 136, 22)), (tips, (84, 60, 22))):
        mask = mask.rotate(-20, resample=Image.BICUBIC, center=(size / 2, size / 2))
        img.paste(Image.new("RGB", img.size, colour), (0, -8 * SS), mask)
    finish_icon(img, out, "banana")


def duck_icon(out):
    img = icon_canvas(43, (40, 36, 10))
    d = ImageDraw.Draw(img)
    d.ellipse(s([18, 58, 112, 112]), fill=(246, 210, 30))  # body
    d.polygon(s([96, 70, 122, 52, 112, 84]), fill=(246, 210, 30))  # tail
    d.ellipse(s([24, 20, 72, 68]), fill=(250, 216, 40))  # head
    d.polygon(s([8, 44, 28, 36, 30, 52]), fill=(240, 120, 20))  # beak
    d.ellipse(s([38, 32, 48, 42]), fill=(20, 16, 16))  # eye
    d.ellipse(s([41, 34, 44, 37]), fill=(240, 240, 240))
    d.arc(s([44, 68, 92, 100]), 20, 160, fill=(210, 160, 20), width=3 * SS)  # wing
    finish_icon(img, out, "duck")


def can_icon(out):
    img = icon_canvas(44, (40, 20, 20))
    d = ImageDraw.Draw(img)
    d.rectangle(s([32, 26, 96, 106]), fill=(170, 172, 176))
    d.ellipse(s([32, 98, 96, 114]), fill=(150, 152, 156))
    d.rectangle(s([32, 40, 96, 94]), fill=(176, 30, 24))
    d.rectangle(s([32, 40, 44, 94]), fill=(130, 20, 16))
    d.rectangle(s([84, 40, 96, 94]), fill=(120, 18, 14))
    d.ellipse(s([32, 18, 96, 34]), fill=(200, 202, 206))
    d.ellipse(s([38, 21, 90, 31]), fill=(140, 142, 146))
    d.ellipse(s([56, 22, 70, 28]), fill=(90, 90, 94))
    big_font = font(SANS_BOLD, 15 * SS)
    w, h, box = text_size(d, "FUEL", big_font)
    d.text((64 * SS - w / 2 - box[0], 67 * SS - h / 2 - box[1]), "FUEL", font=big_font, fill=(250, 236, 200))
    finish_icon(img, out, "can")


def file_icon(out):
    img = icon_canvas(45, (30, 30, 20))
    d = ImageDraw.Draw(img)
    d.polygon(s([14, 30, 50, 30, 58, 38, 114, 38, 114, 108, 14, 108]), fill=(160, 120, 60))  # back
    d.rectangle(s([22, 30, 104, 96]), fill=(236, 232, 220))  # paper
    for y in range(42, 90, 8):
        d.line(s([30, y, 96, y]), fill=(120, 120, 130), width=2 * SS)
    d.polygon(s([10, 52, 118, 52, 112, 112, 16, 112]), fill=(206, 162, 84))  # front
    d.rectangle(s([40, 70, 88, 90]), fill=(236, 226, 200))
    lab = font(SANS_BOLD, 13 * SS)
    w, h, box = text_size(d, "FILE", lab)
    d.text((64 * SS - w / 2 - box[0], 80 * SS - h / 2 - box[1]), "FILE", font=lab, fill=(120, 20, 20))
    # A red "classified" stamp stripe.
    d.line(s([14, 104, 40, 56]), fill=(170, 30, 24), width=3 * SS)
    finish_icon(img, out, "file")


# --- TV frames --------------------------------------------------------------

TV_SIZE = (128, 96)
TV_FRAMES = 12
# Frames in which a face shows through the static, with its strength.
TV_FACE = {4: 0.35, 5: 0.8, 6: 1.0, 7: 0.6, 9: 0.25}


def tv_face(width, height):
    """A pale, long face with empty eyes and an open mouth, as a 0..1 mask."""
    img = Image.new("L", (width * 4, height * 4), 0)
    d = ImageDraw.Draw(img)
    cx = width * 2
    d.ellipse([cx - 64, 28, cx + 64, height * 4 - 20], fill=200)
    d.ellipse([cx - 46, 130, cx - 14, 176], fill=0)
    d.ellipse([cx + 14, 130, cx + 46, 176], fill=0)
    d.ellipse([cx - 18, 236, cx + 18, 318], fill=0)
    img = img.resize((width, height), Image.LANCZOS).filter(ImageFilter.GaussianBlur(1.2))
    return np.array(img, dtype=np.float64) / 255.0


def tv_frames(out):
    width, height = TV_SIZE
    face = tv_face(width, height)
    rng = np.random.RandomState(51)
    ys = np.arange(height)[:, None]
    for i in range(TV_FRAMES):
        snow = rng.uniform(0, 1, (height, width))
        bar_y = (i * height / TV_FRAMES * 2.0) % height
        bar = np.exp(-((ys - bar_y) ** 2) / (2 * 8.0 ** 2))  # a rolling bright band
        scan = np.where(ys % 2 == 0, 1.0, 0.78)
        lum = (40 + 150 * snow ** 1.5 + 60 * bar) * scan
        strength = TV_FACE.get(i, 0.0)
        lum = lum * (1 - 0.6 * strength * face) + 210 * strength * face * snow ** 0.3
        # Line jitter: shift rows sideways by a few pixels.
        for y in range(height):
            lum[y] = np.roll(lum[y], int(rng.randint(-2, 3)))
        rgb = np.stack([lum * 0.92, lum * 0.98, lum * 1.06], axis=-1)
        save(to_image(rgb), out, "Assets/TV_animated/tv_%02d.png" % i)


# --- Desktop icon ---------------------------------------------------------


def app_icon(out):
    """The installed game's icon: a blood-red V caught in a flashlight's beam."""
    size = 256
    img = to_image(dark_backdrop(size, size, seed=256, base=(14, 11, 12), glow=(34, 14, 12), grain=2.0))
    beam = Image.new("L", img.size, 0)
    ImageDraw.Draw(beam).polygon([(-10, 250), (256, 40), (256, 200)], fill=110)
    beam = beam.filter(ImageFilter.GaussianBlur(14))
    img.paste(Image.new("RGB", img.size, (236, 226, 180)), (0, 0), beam)
    glow_text(img, (128, 128), "V", font(SERIF_BOLD, 190), (176, 14, 12), (70, 0, 0), 9)
    save(img, out, "packaging/vestrel.png")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--out", default=root, help="folder that receives Assets/ (default: the repository)")
    args = parser.parse_args()
    loading_screen(args.out)
    win_message(args.out)
    lose_message(args.out)
    for label in ("Exit", "Restart"):
        for suffix in ("", "_Mouseover", "_Pressed"):
            button(args.out, label, suffix)
    font_atlas(args.out)
    flashlight_icon(args.out)
    banana_icon(args.out)
    duck_icon(args.out)
    can_icon(args.out)
    file_icon(args.out)
    tv_frames(args.out)
    app_icon(args.out)


if __name__ == "__main__":
    main()
