#!/usr/bin/env python3
"""Makes the files the carving benchmark stores and deletes, each by a real program:
ImageMagick for JPEG, PNG, GIF and BMP, zip for archives, python's sqlite3 and wave
modules for databases and sound, and PDFs written object by object with a cross-reference
table (ImageMagick's PDF writer is turned off by Debian's policy). Usage:
    carve_files.py OUTDIR COUNT_PER_TYPE SEED
"""
import os
import random
import sqlite3
import subprocess
import sys
import wave
import zlib

CONVERT = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else "convert"


def image(path, rng, fmt):
    w, h = rng.randint(64, 900), rng.randint(64, 700)
    args = [CONVERT, "-seed", str(rng.randint(1, 10**6)), "-size", f"{w}x{h}",
            "plasma:fractal"]
    if fmt == "jpg":
        args += ["-quality", str(rng.randint(60, 95))]
    if fmt == "gif":
        args += ["-colors", "128"]
    subprocess.run(args + [path], check=True)


def pdf(path, rng):
    lines = [f"BT /F1 12 Tf 40 {780 - 14 * i} Td ({rng.getrandbits(160):040x}) Tj ET"
             for i in range(rng.randint(5, 50))]
    stream = zlib.compress("\n".join(lines).encode())
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
               b"/Resources << /Font << /F1 5 0 R >> >> >>",
               b"<< /Length %d /Filter /FlateDecode >>\nstream\n" % len(stream) + stream +
               b"\nendstream",
               b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        out += b"%010d 00000 n \n" % offset
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects) + 1, xref)
    if rng.random() < 0.3:  # an update in place: a second body, table and trailer
        info = len(out)
        out += b"6 0 obj\n<< /Title (%x) >>\nendobj\n" % rng.getrandbits(64)
        xref2 = len(out)
        out += b"xref\n6 1\n%010d 00000 n \ntrailer\n<< /Size 7 /Root 1 0 R /Info 6 0 R " \
               b"/Prev %d >>\nstartxref\n%d\n%%%%EOF\n" % (info, xref, xref2)
    with open(path, "wb") as f:
        f.write(out)


def archive(path, rng, scratch):
    os.makedirs(scratch, exist_ok=True)
    names = []
    for i in range(rng.randint(2, 8)):
        name = os.path.join(scratch, f"part{i}.txt")
        words = " ".join(f"{rng.getrandbits(24):x}" for _ in range(rng.randint(100, 20000)))
        with open(name, "w") as f:
            f.write(words)
        names.append(name)
    if os.path.exists(path):
        os.remove(path)
    subprocess.run(["zip", "-q", "-j", path] + names, check=True)
    for name in names:
        os.remove(name)


def database(path, rng):
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.execute("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, value REAL)")
    db.executemany("INSERT INTO t (name, value) VALUES (?, ?)",
                   [(f"{rng.getrandbits(80):x}", rng.random()) for _ in range(rng.randint(50, 20000))])
    db.commit()
    db.close()


def sound(path, rng):
    with wave.open(path, "wb") as w:
        w.setnchannels(rng.choice([1, 2]))
        w.setsampwidth(2)
        w.setframerate(rng.choice([8000, 22050, 44100]))
        w.writeframes(rng.randbytes(2 * w.getnchannels() * rng.randint(2000, 200000)))


def main():
    out, count, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rng = random.Random(seed)
    os.makedirs(out, exist_ok=True)
    for i in range(count):
        for fmt in ("jpg", "png", "gif", "bmp"):
            image(os.path.join(out, f"img{i:03d}.{fmt}"), rng, fmt)
        pdf(os.path.join(out, f"doc{i:03d}.pdf"), rng)
        archive(os.path.join(out, f"arc{i:03d}.zip"), rng, os.path.join(out, ".scratch"))
        database(os.path.join(out, f"db{i:03d}.sqlite"), rng)
        sound(os.path.join(out, f"snd{i:03d}.wav"), rng)
    os.rmdir(os.path.join(out, ".scratch"))


if __name__ == "__main__":
    main()
