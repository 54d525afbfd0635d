#!/usr/bin/env python3
"""Makes the pictures of lockwright.exe with ImageMagick 6 (convert) and the
DejaVu fonts of Debian. Run it in this folder: python3 make_images.py

Each picture has the pixel size of its control with the dialog font of
Windows and Wine (1 dialog unit = 1.5 x 1.625 pixels); the buttons draw them
at their client size, so another font only scales them a little."""
import subprocess

BG = "#2a313c"  # window background, RGB(42, 49, 60)
PANEL = "#3f454f"  # password panel, RGB(63, 69, 79)
TEXT = "#f2ecec"
MUTED = "#8a919c"
FONT = "DejaVu-Sans"
BOLD = "DejaVu-Sans-Bold"
STATES = ["normal", "pressed", "hover", "disabled"]

# Button faces by state: gradient top, bottom, border, ink.
FACES = {
    "normal": ("#4b5563", "#353c48", "#5d6778", TEXT),
    "pressed": ("#3d8bd9", "#2563a8", "#7ab6f0", "#ffffff"),
    "hover": ("#5b6679", "#414a59", "#7a869a", "#ffffff"),
    "disabled": ("#343a44", "#30363f", "#3d4450", "#6b717a"),
}
# Card selector tiles by state: gradient top, bottom, border, card, ink on the card.
TILES = {
    "normal": ("#3a424f", "#2c333e", "#4a5364", "#d9dee6", "#2a313c"),
    "pressed": ("#3d8bd9", "#2563a8", "#7ab6f0", "#ffffff", "#1f4f86"),
    "hover": ("#465062", "#353d4a", "#6a768a", "#eef1f5", "#2a313c"),
    "disabled": ("#30363f", "#2d333b", "#383e48", "#4d535d", "#30363f"),
}


def save(name, *arguments):
    subprocess.run(["convert", *arguments, "-strip", "-define", "png:exclude-chunks=date,time",
                    "PNG32:" + name], check=True)


def rounded(width, height, top, bottom, border, radius=6, inset=0):
    """A rounded gradient shape with a one-pixel border on a transparent ground."""
    right, low = width - 1 - inset, height - 1 - inset
    return ["-size", f"{width}x{height}", f"gradient:{top}-{bottom}",
            "(", "-size", f"{width}x{height}", "xc:black", "-fill", "white",
            "-draw", f"roundrectangle {inset},{inset} {right},{low} {radius},{radius}", ")",
            "-alpha", "off", "-compose", "CopyOpacity", "-composite", "-compose", "over",
            "-fill", "none", "-stroke", border, "-strokewidth", "1",
            "-draw", f"roundrectangle {inset}.5,{inset}.5 {right - 1}.5,{low - 1}.5 {radius},{radius}",
            "-stroke", "none"]


def lock_glyph(ink, open_shackle=False):
    shackle = "M 22,20 L 22,11 A 7,7 0 0,1 36,11 L 36,13" if open_shackle else \
        "M 22,20 L 22,14 A 7,7 0 0,1 36,14 L 36,20"
    return ["-fill", "none", "-stroke", ink, "-strokewidth", "3", "-draw", f"path '{shackle}'",
            "-stroke", "none", "-fill", ink, "-draw", "roundrectangle 17,19 41,34 3,3"]


def key_glyph(ink):  # a key, struck through
    return ["-fill", "none", "-stroke", ink, "-strokewidth", "3", "-draw", "circle 24,21 24,15",
            "-draw", "line 30,21 44,21", "-draw", "line 40,21 40,27", "-draw", "line 44,21 44,26",
            "-strokewidth", "2", "-draw", "line 15,34 46,8", "-stroke", "none"]


def bin_glyph(ink):  # a waste bin
    return ["-fill", "none", "-stroke", ink, "-strokewidth", "2", "-draw", "line 18,12 40,12",
            "-draw", "polyline 25,12 25,8 33,8 33,12", "-draw", "polyline 20,14 22,33 36,33 38,14",
            "-draw", "line 26,17 26,30", "-draw", "line 32,17 32,30", "-stroke", "none"]


def action(name, glyph, label):
    for state in STATES:
        top, bottom, border, ink = FACES[state]
        save(f"{name}_{state}.png", *rounded(302, 41, top, bottom, border), *glyph(ink),
             "-font", BOLD, "-pointsize", "15", "-fill", ink, "-gravity", "west", "-annotate", "+58+0", label)


def text_button(name, width, height, label):
    for state in STATES:
        top, bottom, border, ink = FACES[state]
        save(f"{name}_{state}.png", *rounded(width, height, top, bottom, border),
             "-font", BOLD, "-pointsize", "15", "-fill", ink, "-gravity", "center", "-annotate", "+0+0", label)


def sd_card(card, ink):
    return ["-fill", card, "-draw", "polygon 36,24 80,24 94,38 94,122 36,122", "-fill", ink,
            *[arg for x in (44, 53, 62, 71) for arg in ("-draw", f"rectangle {x},29 {x + 4},41")]]


def cf_card(card, ink):
    return ["-fill", card, "-draw", "roundrectangle 24,32 105,120 4,4", "-fill", ink,
            "-draw", "rectangle 28,36 101,42"]


def selector(name, card, label):
    """A card selector (129 x 179); the window draws the drive label at its foot."""
    for state in STATES:
        top, bottom, border, card_colour, ink = TILES[state]
        save(f"{name}_{state}.png", *rounded(129, 179, top, bottom, border, radius=8, inset=2),
             *card(card_colour, ink),
             "-font", BOLD, "-pointsize", "30", "-fill", ink, "-gravity", "north", "-annotate", "+0+66", label)


def pictures():
    save("top_banner.png", "-size", "255x101", f"gradient:#34404f-{BG}",
         "-fill", "#3d8bd9", "-draw", "polygon 18,24 38,16 58,24 58,48 38,66 18,48",
         "-fill", "none", "-stroke", "white", "-strokewidth", "3", "-draw", "polyline 29,40 36,48 48,32",
         "-stroke", "none", "-font", BOLD, "-pointsize", "24", "-fill", TEXT, "-annotate", "+70+47", "Cardwarden",
         "-font", FONT, "-pointsize", "11", "-fill", MUTED, "-annotate", "+71+67", "SD and CF card protection")
    save("action_background.png", "-size", "341x281", f"xc:{BG}", "-fill", "#323a46", "-stroke", "#3f4857",
         "-strokewidth", "1", "-draw", "roundrectangle 6.5,6.5 334.5,274.5 10,10")
    save("bottom_banner.png", "-size", "600x47", "gradient:#232932-#1d222a",
         "-font", BOLD, "-pointsize", "14", "-fill", MUTED, "-gravity", "west", "-annotate", "+16+0", "Korvell",
         "-font", FONT, "-pointsize", "11", "-gravity", "east", "-annotate", "+16+0",
         "Cardwarden 1.0  -  QX7R USB 3.0 card reader")
    save("decoration.png", "-size", "257x36", f"gradient:#313844-{BG}", "-font", FONT, "-pointsize", "11",
         "-fill", MUTED, "-gravity", "center", "-annotate", "+0+0", "QX7R USB 3.0 card reader")
    save("match_mark.png", "-size", "53x36", "xc:none", "-fill", "none", "-stroke", "#56f027",
         "-strokewidth", "5", "-draw", "polyline 15,18 23,26 38,10")
    for name, caption in (("password_row", "Password"), ("password_again_row", "Confirm")):
        save(f"{name}.png", "-size", "252x39", f"xc:{PANEL}", "-fill", "#4a5160",
             "-draw", "roundrectangle 1,1 250,37 5,5", "-font", FONT, "-pointsize", "12", "-fill", TEXT,
             "-gravity", "west", "-annotate", "+10+0", caption)


def icon():
    """The program's icon at 16, 32 and 48 pixels: a padlock on a blue square."""
    names = []
    for s in (16, 32, 48):
        name = f"icon_{s}.png"
        corner, left, right = s // 5, s * 3 // 8, s * 5 // 8
        save(name, "-size", f"{s}x{s}", "xc:none", "-fill", "#2563a8",
             "-draw", f"roundrectangle 0,0 {s - 1},{s - 1} {corner},{corner}",
             "-fill", "none", "-stroke", "white", "-strokewidth", str(s // 12 + 1),
             "-draw", f"path 'M {left},{s // 2} L {left},{s * 3 // 10} "
                      f"A {s // 8},{s // 8} 0 0,1 {right},{s * 3 // 10} L {right},{s // 2}'",
             "-stroke", "none", "-fill", "white",
             "-draw", f"rectangle {s // 4},{s * 9 // 20} {s - 1 - s // 4},{s * 4 // 5}")
        names.append(name)
    subprocess.run(["convert", *names, "lockwright.ico"], check=True)
    subprocess.run(["rm", *names], check=True)


action("lock", lock_glyph, "Lock")
action("unlock", lambda ink: lock_glyph(ink, open_shackle=True), "Unlock")
action("disable_password", key_glyph, "Disable Password")
action("erase", bin_glyph, "Erase")
text_button("exit", 257, 36, "Exit")
text_button("ok", 53, 36, "OK")
selector("sd", sd_card, "SD")
selector("cf", cf_card, "CF")
pictures()
icon()
