#!/usr/bin/env python3
"""How often `mojiro --guess` names the right encoding, beside `nkf --guess`.

The texts are made from the Japanese manual pages (sections 1, 5, 7 and 8)
of the manpages-ja package: whole pages, their first 20, 50 and 200 bytes
(from the first line that is not ASCII, cut wherever the count falls),
single lines, and lines whose first word, in katakana, is made half-width; each in
Shift_JIS, EUC-JP, ISO-2022-JP, Unicode (with its FF FE) and UTF-8 with
and without EF BB BF. A guess is right when the text read in it is the text
read in its true encoding, so an ASCII text is right in any encoding that
keeps ASCII. Nothing is written into the repository.

    tools/bench_detect.py --mojiro build/app/mojiro [--pages 400] [--seed 21]
"""
import argparse
import glob
import gzip
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unicodedata

SECTIONS = ("1", "5", "7", "8")
MAN_DIR = "/usr/share/man/ja"
# (label, Python codec, mark)
ENCODINGS = [
    ("Shift_JIS", "cp932", b""),
    ("EUC-JP", "euc_jp", b""),
    ("ISO-2022-JP", "iso2022_jp_ext", b""),
    ("Unicode", "utf-16-le", b"\xff\xfe"),
    ("UTF-8", "utf-8", b""),
    ("UTF-8+BOM", "utf-8", b"\xef\xbb\xbf"),
]
KINDS = ("page", "prefix 20", "prefix 50", "prefix 200", "line", "ｶﾅ-first line")
# How each tool's names read the bytes; None reads nothing right.
GUESS_CODECS = {
    "shift_jis": "cp932", "cp932": "cp932", "windows-31j": "cp932",
    "euc-jp": "euc_jp", "cp51932": "euc_jp", "eucjp-ms": "euc_jp", "euc-jisx0213": "euc_jp",
    "iso-2022-jp": "iso2022_jp_ext", "iso-2022-jp-1": "iso2022_jp_ext", "iso-2022-jp-3": "iso2022_jp_ext",
    "unicode": "utf-16-le", "utf-16": "utf-16-le", "utf-16le": "utf-16-le", "utf-16 le": "utf-16-le",
    "utf-8": "utf-8", "ascii": "ascii",
}


def half_width_table():
    """Full-width katakana (and the voiced ones) to their half-width forms."""
    table = {}
    for code in range(0xFF61, 0xFFA0):
        half = chr(code)
        full = unicodedata.normalize("NFKC", half)
        if len(full) == 1:
            table.setdefault(full, half)
    for code in range(0x30A1, 0x30FB):
        full = chr(code)
        if full in table:
            continue
        base = unicodedata.normalize("NFD", full)
        if len(base) == 2 and base[0] in table:
            mark = "\uff9e" if base[1] == "\u3099" else "\uff9f"
            table[full] = table[base[0]] + mark
    return table


def is_katakana(c):
    return "\u30a1" <= c <= "\u30fa" or c == "\u30fc"


def load_pages():
    pages = []
    for section in SECTIONS:
        for path in sorted(glob.glob(os.path.join(MAN_DIR, "man" + section, "*"))):
            try:
                with gzip.open(path) if path.endswith(".gz") else open(path, "rb") as f:
                    text = f.read().decode("utf-8")
            except (OSError, UnicodeDecodeError):
                continue
            if any(ord(c) > 0x7F for c in text):
                pages.append(text.replace("\r\n", "\n"))
    return pages


def texts_of(pages, n_pages, rng):
    """(kind, text, cut) triples; cut: bytes to keep of the encoded form."""
    table = half_width_table()
    chosen = rng.sample(pages, min(n_pages, len(pages)))
    out = []
    for page in chosen:
        out.append(("page", page, None))
        lines = [l for l in page.split("\n") if any(ord(c) > 0x7F for c in l)]
        start = page[page.index(lines[0]):]
        for n in (20, 50, 200):
            out.append(("prefix %d" % n, start, n))
        out.append(("line", rng.choice(lines) + "\n", None))
        kana = [l for l in lines if is_katakana(l[0])]
        if kana:
            # Its first word made half-width, as older text wrote katakana.
            line = rng.choice(kana)
            n = next((k for k, c in enumerate(line) if not is_katakana(c)), len(line))
            half = "".join(table[c] for c in line[:n]) + line[n:]
            out.append(("ｶﾅ-first line", half + "\n", None))
    return out


def make_corpus(root, texts):
    """Writes the files; returns [(path, kind, encoding label, codec, bytes)]."""
    files = []
    for i, (kind, text, cut) in enumerate(texts):
        for label, codec, mark in ENCODINGS:
            try:
                data = mark + text.encode(codec)
            except UnicodeEncodeError:
                continue
            if cut is not None:
                data = data[:cut]
            path = os.path.join(root, "%05d.%s" % (i, label))
            with open(path, "wb") as f:
                f.write(data)
            files.append((path, kind, label, codec, data))
    return files


def read_as(data, codec):
    if codec is None:
        return None
    if codec == "utf-16-le" and data.startswith(b"\xff\xfe"):
        data = data[2:]
    elif codec == "utf-8" and data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    return data.decode(codec, errors="replace")


def codec_of(name):
    name = name.strip().lower()
    # "UTF-16 LE (BOM) (LF)": the mark and the line ending, in any order.
    while name.endswith(")") and " (" in name:
        name = name[: name.rindex(" (")].strip()
    return GUESS_CODECS.get(name)


def guesses(command, paths):
    """{path: codec} from a tool that prints "path: name" per file."""
    result = {}
    for k in range(0, len(paths), 500):
        batch = paths[k:k + 500]
        run = subprocess.run(command + batch, capture_output=True, text=True, errors="replace")
        for line in run.stdout.splitlines():
            path, sep, name = line.partition(": ")
            if sep:
                result[path] = codec_of(name)
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mojiro", required=True)
    parser.add_argument("--pages", type=int, default=400)
    parser.add_argument("--seed", type=int, default=21)
    parser.add_argument("--show-misses", type=int, default=0, help="print up to N texts mojiro got wrong")
    args = parser.parse_args()
    if not shutil.which("nkf") or not os.path.isdir(MAN_DIR):
        sys.exit("needs nkf and manpages-ja: tools/install-deps.sh --peers")
    pages = load_pages()
    texts = texts_of(pages, args.pages, random.Random(args.seed))
    root = tempfile.mkdtemp(prefix="mojiro-detect-")
    try:
        files = make_corpus(root, texts)
        paths = [f[0] for f in files]
        mine = guesses([os.path.abspath(args.mojiro), "--guess", "--"], paths)
        nkf = guesses(["nkf", "--guess"], paths)
        report(files, mine, nkf, args.show_misses)
    finally:
        shutil.rmtree(root)


def report(files, mine, nkf, show_misses):
    labels = [e[0] for e in ENCODINGS]
    counts = {}  # (kind, label) -> [total, mojiro right, nkf right]
    misses = []
    for path, kind, label, codec, data in files:
        truth = read_as(data, codec)
        cell = counts.setdefault((kind, label), [0, 0, 0])
        cell[0] += 1
        ok_mine = read_as(data, mine.get(path)) == truth
        cell[1] += ok_mine
        cell[2] += read_as(data, nkf.get(path)) == truth
        if not ok_mine:
            misses.append((kind, label, mine.get(path), data))
    print("Right guesses, mojiro / nkf --guess / texts (* where mojiro has fewer)")
    print("%-15s" % "" + "".join("%-21s" % l for l in labels))
    totals = [0, 0, 0]
    for kind in KINDS:
        row = "%-15s" % kind
        for label in labels:
            t, m, n = counts.get((kind, label), [0, 0, 0])
            totals = [totals[0] + t, totals[1] + m, totals[2] + n]
            row += "%-21s" % ("%d / %d / %d%s" % (m, n, t, "*" if m < n else ""))
        print(row)
    t, m, n = totals
    print("overall: mojiro %d of %d (%.2f%%), nkf --guess %d (%.2f%%)" % (m, t, 100.0 * m / t, n, 100.0 * n / t))
    for kind, label, guess, data in misses[:show_misses]:
        print("miss %s %s as %s: %r" % (kind, label, guess, data[:60]))


if __name__ == "__main__":
    main()
