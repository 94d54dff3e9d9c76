#!/usr/bin/env python3
"""Derive the classical-source table of the reference naming service.

Fetches the npm package chinese-poetry (version 2.0.1, MIT licence) into a temporary
folder with `npm pack`, reads the books below, turns their text into simplified
characters with the `opencc` command (t2s) and writes
  sources.tsv  one line or couplet a row: book, title, author, text
Lines holding a character of blocklist.txt (death, grief, disease, slander, servitude,
war ...) are left out: no name is ever taken from them.
Run from anywhere:  python3 resources/refservice/derive_sources.py [--package FILE.tgz]
  --package FILE.tgz  reads an already downloaded package instead of fetching it.
  --check [folder]    checks a written table without deriving, and writes nothing.
The output is committed; nothing runs this at build time.
"""
import json
import os
import re
import subprocess
import sys
import tarfile
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGE = "chinese-poetry@2.0.1"

# Book name as the answers carry it, file inside the package, and how a record of the
# file gives title, author and text paragraphs.
BOOKS = [
    ("诗经", "dist/shijing/shijing.json", "title", None, "content"),
    ("楚辞", "dist/chuci/chuci.json", "title", "author", "content"),
    ("唐诗三百首", "dist/quantangshi/唐诗三百首.json", "title", "author", "paragraphs"),
    ("宋词三百首", "dist/songci/宋词三百首.json", "rhythmic", "author", "paragraphs"),
    ("论语", "dist/lunyu/lunyu.json", "chapter", None, "paragraphs"),
    ("曹操诗集", "dist/caocaoshiji/caocao.json", "title", None, "paragraphs"),
    ("纳兰词", "dist/nalanxingde/纳兰性德诗集.json", "title", "author", "para"),
]
FIXED_AUTHOR = {"曹操诗集": "曹操"}
BOOK_NAMES = [b[0] for b in BOOKS]

# A couplet ends at one of these; a longer sentence is cut at its commas.
SENTENCE_END = "。！？；!?;"
MAX_LINE = 40
# Quotation marks, brackets and notes are dropped from a line; its punctuation stays.
DROP = "“”‘’「」『』《》〈〉【】\"'"
NOTE = re.compile(r"[（(][^）)]*[）)]")
HAN = re.compile(r"[\u3400-\u9fff]")


def read_blocklist(folder):
    blocked = set()
    with open(os.path.join(folder, "blocklist.txt"), encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line and not line.startswith("#"):
                blocked.add(line.split("\t")[0])
    return blocked


def to_simplified(texts):
    """One opencc run over all texts (one a line)."""
    joined = "\n".join(t.replace("\n", " ") for t in texts) + "\n"
    out = subprocess.run(["opencc", "-c", "t2s"], input=joined, capture_output=True, text=True, check=True).stdout
    result = out.split("\n")[: len(texts)]
    if len(result) != len(texts):
        raise RuntimeError("opencc returned a different number of lines")
    return result


def couplets(paragraph):
    """The lines of a paragraph: sentences up to an end mark, long ones cut at commas."""
    paragraph = NOTE.sub("", paragraph)
    for ch in DROP:
        paragraph = paragraph.replace(ch, "")
    paragraph = re.sub(r"\s+", "", paragraph)
    pieces, current = [], ""
    for ch in paragraph:
        current += ch
        if ch in SENTENCE_END:
            pieces.append(current)
            current = ""
    if current:
        pieces.append(current)
    for piece in pieces:
        if len(piece) <= MAX_LINE:
            yield piece
            continue
        part = ""
        for ch in piece:
            part += ch
            if ch in "，,：:" and len(part) >= 8:
                yield part
                part = ""
        if part:
            yield part


def fetch_package(folder):
    subprocess.run(["npm", "pack", PACKAGE, "--silent"], cwd=folder, check=True, stdout=subprocess.DEVNULL)
    names = [n for n in os.listdir(folder) if n.endswith(".tgz")]
    if len(names) != 1:
        raise RuntimeError("npm pack did not leave one archive")
    return os.path.join(folder, names[0])


def read_books(archive):
    rows = []
    with tarfile.open(archive, "r:gz") as tar:
        for book, path, title_key, author_key, text_key in BOOKS:
            member = tar.getmember("package/" + path)
            records = json.load(tar.extractfile(member))
            for record in records:
                title = record.get(title_key) or ""
                author = FIXED_AUTHOR.get(book, record.get(author_key, "") if author_key else "")
                for paragraph in record.get(text_key) or []:
                    for line in couplets(paragraph):
                        rows.append([book, title.strip(), (author or "").strip(), line])
    return rows


def clean_rows(rows, blocked):
    flat = []
    for row in rows:
        flat.extend(row[1:])
    simple = to_simplified(flat)
    out, seen = [], set()
    for i, row in enumerate(rows):
        title, author, text = simple[3 * i : 3 * i + 3]
        if not title or len(HAN.findall(text)) < 2 or "□" in text:
            continue
        if any(ch in blocked for ch in text):
            continue
        key = (row[0], text)
        if key in seen:
            continue
        seen.add(key)
        out.append([row[0], title, author, text])
    return out


def check_table(folder):
    """Problems of a written table: fields, books, simplified text, blocked characters."""
    problems = []
    blocked = read_blocklist(folder)
    path = os.path.join(folder, "sources.tsv")
    rows = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 4:
                problems.append(f"sources.tsv line {number}: {len(fields)} fields, want 4")
                continue
            book, title, author, text = fields
            if book not in BOOK_NAMES:
                problems.append(f"sources.tsv line {number}: unknown book {book}")
            if not title or len(HAN.findall(text)) < 2:
                problems.append(f"sources.tsv line {number}: empty title or text")
            bad = sorted({ch for ch in text if ch in blocked})
            if bad:
                problems.append(f"sources.tsv line {number}: blocked character {''.join(bad)} in {text}")
            rows.append((number, text, title, author))
    if not rows:
        problems.append("sources.tsv holds no line")
    simple = to_simplified([t for r in rows for t in r[1:]])
    for i, (number, text, title, author) in enumerate(rows):
        if simple[3 * i : 3 * i + 3] != [text, title, author]:
            problems.append(f"sources.tsv line {number}: not in simplified characters: {text}")
    return problems


def report(problems):
    for p in problems:
        print(p)
    if problems:
        print(f"source table check failed: {len(problems)} problem(s)")
        return 1
    return 0


def main():
    args = sys.argv[1:]
    usage = "usage: derive_sources.py [--package FILE.tgz] | --check [folder]"
    if args and args[0] == "--check":
        if len(args) > 2:
            print(usage, file=sys.stderr)
            return 2
        return report(check_table(args[1] if len(args) == 2 else HERE))
    archive = None
    if args[:1] == ["--package"] and len(args) == 2:
        archive = args[1]
    elif args:
        print(usage, file=sys.stderr)
        return 2
    blocked = read_blocklist(HERE)
    with tempfile.TemporaryDirectory() as tmp:
        rows = read_books(archive or fetch_package(tmp))
    rows = clean_rows(rows, blocked)
    with open(os.path.join(HERE, "sources.tsv"), "w", encoding="utf-8") as f:
        f.write("# book\ttitle\tauthor\ttext (from the npm package chinese-poetry 2.0.1, MIT; derive_sources.py)\n")
        for row in rows:
            f.write("\t".join(row) + "\n")
    counts = {}
    for row in rows:
        counts[row[0]] = counts.get(row[0], 0) + 1
    print(", ".join(f"{b} {counts.get(b, 0)}" for b in BOOK_NAMES))
    return report(check_table(HERE))


if __name__ == "__main__":
    sys.exit(main())
