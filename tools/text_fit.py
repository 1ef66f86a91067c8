#!/usr/bin/python3
"""Measures the wizard's texts against the controls that show them.

    tools/text_fit.py [PACKAGE_FOLDER] [--all] [--font-dir DIR]

Reads the string tables of a package folder (default: demo/), looks every text up as the program
does (language table, then common.txt, then extra.txt), formats the texts that the pages format,
and measures them in Liberation Sans, which has the metrics of Arial, at the dialog font's size
(11 points at 96 DPI). Control sizes are in dialog units of the page templates; the dialog base
units come from the font as Windows computes them. Prints every text that does not fit (with
--all every measured text) and exits with 1 when one does not fit.

Needs python3-pil and fonts-liberation (Debian).
"""

import argparse
import math
import os
import struct
import sys

from PIL import ImageFont

LANGUAGES = ((0, "en.txt", "English"), (1, "pl.txt", "Polish"))
FONT_DIRS = ("/usr/share/fonts/truetype/liberation", "/usr/share/fonts/truetype/liberation2")
POINTS, DPI = 11, 96
BANNER_HEIGHT = 30  # the banner font's character height in pixels (bold)
BANNER_LEFT = 60    # the banner text starts right of the icon
DIALOG_WIDTH = 318  # every page template, dialog units

# Pixels a control keeps for itself, by kind (at 96 DPI).
CHECK_BOX = 14   # the box and the gap before the text
BUTTON = 6       # 3-D border and focus rectangle, both sides
COMBO = 17 + 6   # the drop-down button (a scroll bar's width) and the field's borders and margins
SUNKEN = 4       # the static field of the expert pages: its edge, both sides

# The longest names of input languages that Windows lists (LOCALE_SLANGUAGE) in each display
# language; the setup page puts one, " - " and text 81 into text 102. The last English one is the
# name Windows Vista and 7 give the Serbian (Cyrillic) locale 0x0C1A.
LONG_LANGUAGE_NAMES = {
    0: ["English (United States)",
        "Serbian (Cyrillic, Bosnia and Herzegovina)",
        "Serbian (Cyrillic, Serbia and Montenegro (Former))"],
    1: ["Polski (Polska)",
        "Serbski (cyrylica, Bośnia i Hercegowina)"],
}

# Expert pages: the key of each row (its caption) and the choices of each page's combo boxes.
EXPERT1_ROWS = [280, 281, 282, 283, 284, 285, 228, 229, 230, 317, 167, 174, 279, 278]
EXPERT2_ROWS = [174, 282, 290, 289, 291, 292, 293, 301, 303, 304, 295, 296, 294, 300, 299, 298,
                297, 302, 232, 231]
EXPERT1_CHOICES = [154, 326, 176, 280, 281, 282, 283, 284, 285, 228, 229, 230, 317, 175, 311, 167,
                   174, 279, 278, 189, 190, 180, 179, 177, 178, 188, 173]
EXPERT2_CHOICES = [154, 326, 287, 288, 290, 289, 291, 292, 293, 301, 303, 304, 296, 295, 294, 300,
                   299, 298, 297, 302, 232, 231, 174, 282]


def read_text_file(path):
    """Returns {identifier: text} of one text file (the packager's format, tools/packager/text_file.h)."""
    texts, current, lines = {}, None, []

    def close():
        if current is not None:
            while lines and lines[-1] is not None and lines[-1] == "":
                lines.pop()
            texts[current] = "\r\n".join("" if line is None else line for line in lines)

    with open(path, encoding="utf-8-sig") as f:
        for raw in f.read().split("\n"):
            line = raw[:-1] if raw.endswith("\r") else raw
            if line.startswith("#"):
                continue
            if line.startswith("=="):
                close()
                current, lines = int(line[2:].split()[0]), []
                continue
            if current is None:
                continue
            stripped = line.lstrip("\\")
            if line.startswith("\\") and (stripped == "" or stripped.startswith(("==", "#"))):
                line = line[1:]
                if line == "":
                    line = None  # an escaped empty line stays even at the end of a text
            lines.append(line)
    close()
    return texts


def format_text(pattern, *args):
    """The formatter's %s and %%, the only conversions the pages' formats use."""
    out, i, args = [], 0, list(args)
    while i < len(pattern):
        c = pattern[i]
        if c == "%" and i + 1 < len(pattern):
            nxt = pattern[i + 1]
            if nxt == "%":
                out.append("%")
            elif nxt == "s":
                out.append(args.pop(0) if args else "")
            else:
                out.append(pattern[i:i + 2])
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def table_value(data, tag, offset, fmt):
    """Reads one field of a TrueType table (big-endian)."""
    count = struct.unpack(">H", data[4:6])[0]
    for i in range(count):
        entry = 12 + 16 * i
        if data[entry:entry + 4] == tag:
            start = struct.unpack(">I", data[entry + 8:entry + 12])[0]
            return struct.unpack(fmt, data[start + offset:start + offset + struct.calcsize(fmt)])[0]
    raise ValueError("no %r table" % tag)


class Font:
    def __init__(self, path, pixels):
        self.font = ImageFont.truetype(path, pixels, layout_engine=ImageFont.Layout.BASIC)
        self.widths = {}
        with open(path, "rb") as f:
            data = f.read()
        units = table_value(data, b"head", 18, ">H")
        ascent = table_value(data, b"OS/2", 74, ">H")
        descent = table_value(data, b"OS/2", 76, ">H")
        # Windows' text height (TEXTMETRIC tmHeight): the win ascent and descent at this size.
        self.height = int(math.floor((ascent + descent) * pixels / units + 0.5))

    def width(self, text):
        # Windows draws dialog text without kerning: the sum of the hinted advances.
        total = 0
        for ch in text:
            if ch not in self.widths:
                self.widths[ch] = int(round(self.font.getlength(ch)))
            total += self.widths[ch]
        return total


def shown(text):
    """A control's text as drawn: the "&" before an access key is not, "&&" is one "&"."""
    return text.replace("&&", "\0").replace("&", "").replace("\0", "&")


def wrap(font, text, width):
    """Lines of a word-wrapping static control; None when a word alone is wider than the control."""
    lines = []
    for paragraph in text.replace("\r\n", "\n").split("\n"):
        line = None
        for word in paragraph.split(" "):
            if font.width(word) > width:
                return None
            candidate = word if line is None else line + " " + word
            if line is not None and font.width(candidate) > width:
                lines.append(line)
                line = word
            else:
                line = candidate
        lines.append(line or "")
    return lines


class Checker:
    def __init__(self, font, bold, show_all):
        self.font, self.bold, self.show_all = font, bold, show_all
        # Dialog base units as Windows derives them from the dialog font.
        self.base_x = (font.width("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") // 26 + 1) // 2
        self.base_y = font.height
        self.problems = 0

    def px_x(self, units):
        return (units * self.base_x + 2) // 4

    def px_y(self, units):
        return (units * self.base_y + 4) // 8

    def report(self, ok, where, what, text, detail):
        if not ok:
            self.problems += 1
        if self.show_all or not ok:
            shown = text.replace("\r\n", " | ").replace("\n", " | ")
            print("  %s %s (%s): %s\n      %s" % ("ok  " if ok else "FAIL", where, what, detail, shown))

    def line(self, where, what, text, units, reserve, font=None):
        """A one-line control (check box, button, combo box field, centred label)."""
        font = font or self.font
        text = shown(text)
        room = self.px_x(units) - reserve
        need = max((font.width(part) for part in text.replace("\r\n", "\n").split("\n")), default=0)
        lines = text.count("\n") + 1
        self.report(need <= room and lines == 1, where, what, text,
                    "%d of %d px%s" % (need, room, "" if lines == 1 else ", %d lines in one" % lines))

    def static(self, where, what, text, width_units, height_units):
        """A word-wrapping static control."""
        room = self.px_x(width_units)
        fits_lines = self.px_y(height_units) // self.font.height
        text = shown(text)
        lines = wrap(self.font, text, room)
        if lines is None:
            self.report(False, where, what, text, "a word is wider than %d px" % room)
            return
        self.report(len(lines) <= fits_lines, where, what, text,
                    "%d of %d lines at %d px" % (len(lines), fits_lines, room))


def check_language(checker, t, number, lang):
    name = lambda i: "text %d" % i
    f81 = t(81)

    print("%s:" % lang)
    # Banner of the frame window: text 0, the version (text 89) and text 82 on one line.
    banner = "%s %s %s" % (t(0), t(89), t(82))
    checker.line("banner", "texts 0, 89, 82", banner, DIALOG_WIDTH, BANNER_LEFT, font=checker.bold)

    # Welcome page (template 200).
    checker.static("welcome 308", "format 97 with 81", format_text(t(97), f81), 302, 10)
    checker.static("welcome 308", "format 141 with 81", format_text(t(141), f81), 302, 10)
    checker.static("welcome 309", name(131), t(131), 302, 107)
    checker.static("welcome 309", name(136), t(136), 302, 107)
    checker.static("welcome 307", name(1), t(1), 222, 18)
    for control, text_id, width in ((300, 98, 50), (315, 127, 50), (2003, 128, 50), (1, 99, 50),
                                    (2, 140, 109)):
        checker.line("welcome %d" % control, name(text_id), t(text_id), width, BUTTON)
    for text_id in (92, 91):
        checker.line("welcome 2002", name(text_id), t(text_id), 80, COMBO)

    # Licence page (template 201).
    checker.static("licence 311", name(132), t(132), 302, 16)
    checker.line("licence 305", name(105), t(105), 114, CHECK_BOX)
    for control, text_id in ((300, 98), (301, 100), (1, 99)):
        checker.line("licence %d" % control, name(text_id), t(text_id), 50, BUTTON)

    # Setup page (template 202).
    checker.line("setup 313", "format 101 with 81", format_text(t(101), f81), 302, 0)
    for language in LONG_LANGUAGE_NAMES[number]:
        checker.line("setup 1200", "format 102 with \"%s - <81>\"" % language,
                     format_text(t(102), language + " - " + f81), 294, CHECK_BOX)
    for control, text_id in ((1205, 139), (1212, 106), (1213, 108)):
        checker.line("setup %d" % control, name(text_id), t(text_id), 294, CHECK_BOX)
    for control, text_id in ((314, 110), (316, 111)):
        checker.line("setup %d" % control, name(text_id), t(text_id), 196, 0)
    checker.line("setup 317", name(112), t(112), 302, 0)
    for control, items in ((1214, (113, 114, 115)), (1215, (119, 120))):
        for text_id in items:
            checker.line("setup %d" % control, name(text_id), t(text_id), 104, COMBO)
    for control, text_id in ((300, 98), (304, 153), (303, 152), (301, 100), (206, 104)):
        checker.line("setup %d" % control, name(text_id), t(text_id), 50, BUTTON)

    # Expert pages (templates 204, 205).
    for page, rows, choices in ((1, EXPERT1_ROWS, EXPERT1_CHOICES), (2, EXPERT2_ROWS, EXPERT2_CHOICES)):
        for text_id in rows:
            checker.line("expert %d row" % page, name(text_id), t(text_id), 72, CHECK_BOX)
        for text_id in choices:
            checker.line("expert %d choice" % page, name(text_id), t(text_id), 80, COMBO)
    for control, text_id in ((300, 98), (301, 100), (304, 153)):
        checker.line("expert %d" % control, name(text_id), t(text_id), 50, BUTTON)
    checker.line("expert 303", name(152), t(152), 50, SUNKEN)

    # Finish page (template 203).
    checker.static("finish 1209", name(136), t(136), 302, 60)
    pre_vista = format_text(t(134), f81)
    for what, body in ((name(135), t(135)),
                       ("135 + 133", t(135) + "\n\n" + t(133)),
                       (name(130), t(130)),
                       ("format 134 with 81", pre_vista),
                       ("format 134 with 81 + 133", pre_vista + "\n\n" + t(133))):
        checker.static("finish 1204", what, body, 302, 56)
    checker.line("finish 1213", name(137), t(137), 90, BUTTON)


def find_font(dirs, name):
    for d in dirs:
        path = os.path.join(d, name)
        if os.path.exists(path):
            return path
    sys.exit("text_fit: %s not found in %s (install fonts-liberation)" % (name, ", ".join(dirs)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("folder", nargs="?", default=os.path.join(here, "..", "demo"))
    parser.add_argument("--all", action="store_true", help="list every measured text")
    parser.add_argument("--font-dir", action="append", help="folder of LiberationSans-*.ttf")
    args = parser.parse_args()

    dirs = args.font_dir or FONT_DIRS
    pixels = (POINTS * DPI + 36) // 72  # the dialog font's height in pixels, rounded as Windows does
    checker = Checker(Font(find_font(dirs, "LiberationSans-Regular.ttf"), pixels),
                      Font(find_font(dirs, "LiberationSans-Bold.ttf"), BANNER_HEIGHT), args.all)
    print("dialog base units %d x %d px; page %d x %d px" % (
        checker.base_x, checker.base_y, checker.px_x(DIALOG_WIDTH), checker.px_y(172)))

    texts_dir = os.path.join(args.folder, "texts")
    common = read_text_file(os.path.join(texts_dir, "common.txt"))
    extra = read_text_file(os.path.join(texts_dir, "extra.txt"))
    for number, file_name, lang in LANGUAGES:
        own = read_text_file(os.path.join(texts_dir, file_name))

        def t(text_id, own=own):
            for table in (own, common, extra):
                if text_id in table:
                    return table[text_id]
            return ""

        before = checker.problems
        check_language(checker, t, number, lang)
        print("  %s: %d texts do not fit" % (lang, checker.problems - before))
    return 1 if checker.problems else 0


if __name__ == "__main__":
    sys.exit(main())
