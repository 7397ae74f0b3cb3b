#!/usr/bin/env python3
"""Damage matrix driver, called by damage_matrix.sh with WORK and the build folders.

WORK/base holds bare.img (a bare NTFS volume), mbr.img and gpt.img (disks with one NTFS
partition at sector 2048). For each base the oracle (The Sleuth Kit) gives every file's
record, clusters and SHA-256; the variants are copies with patches or cuts, each knowing
the byte ranges it changed. A recovered file whose report row says intact is a silent
loss when its bytes differ from what the volume holds:
  - cut images and containers: the bytes before damage (what is missing is not known);
  - other damage: the bytes before damage when the damage touched neither the file's
    record nor its clusters, else what icat reads from the damaged image (a file icat
    cannot read there is counted as unjudged and listed, not as a loss).
"""
import concurrent.futures
import hashlib
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import time
import zlib

WORK = sys.argv[1]
BUILDS = sys.argv[2:]
JOBS = int(os.environ.get("DAMAGE_JOBS", "2"))
TIMEOUT = float(os.environ.get("DAMAGE_TIMEOUT", "120"))
ONLY = os.environ.get("DAMAGE_ONLY", "")
MiB = 1 << 20


def sh(args, **kw):
    return subprocess.run(args, capture_output=True, **kw)


def sha(data):
    return hashlib.sha256(data).hexdigest()


def file_sha(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(MiB), b""):
            h.update(block)
    return h.hexdigest()


# ---------------------------------------------------------------- the oracle of a base


class Volume:
    """One NTFS volume of a base image: geometry and, per record, the file it holds."""

    def __init__(self, image, offset_sectors):
        self.image = image
        self.sector = offset_sectors
        self.offset = offset_sectors * 512
        out = sh(["fsstat", "-f", "ntfs", "-o", str(offset_sectors), image]).stdout.decode()
        self.cluster = int(re.search(r"Cluster Size: (\d+)", out).group(1))
        self.record_size = int(re.search(r"Size of MFT Entries: (\d+)", out).group(1))
        self.mft_clusters = self.clusters_of(0, "128")
        self.index_clusters = {}
        self.files = {}  # record -> (path, sha, [byte ranges of record and clusters])
        listing = sh(["fls", "-r", "-p", "-f", "ntfs", "-o", str(offset_sectors), image])
        self.dirs = {}
        for line in listing.stdout.decode(errors="replace").splitlines():
            m = re.match(r"(\S)/(\S) (\* )?(\d+)-(\d+)-(\d+):\t(.*)", line)
            if not m:
                continue
            record, kind, path = int(m.group(4)), m.group(1), m.group(7)
            if kind == "d":
                self.dirs[path] = record
                continue
            if m.group(5) != "128" or ":" in path or record in self.files:
                continue
            data = sh(["icat", "-f", "ntfs", "-o", str(offset_sectors), image, str(record)])
            if data.returncode != 0:
                continue
            ranges = [self.record_range(record)]
            ranges += [self.cluster_range(c) for c in self.clusters_of(record, "128")]
            self.files[record] = (path, sha(data.stdout), ranges)
        self.dirs["/"] = 5

    def clusters_of(self, record, attr_type):
        out = sh(["istat", "-f", "ntfs", "-o", str(self.sector), self.image, str(record)])
        clusters, inside = [], False
        for line in out.stdout.decode(errors="replace").splitlines():
            if line.startswith("Type:"):
                inside = ("(%s-" % attr_type) in line and "Name: N/A" in line or (
                    attr_type == "160" and "(160-" in line)
                continue
            if inside:
                clusters += [int(w) for w in line.split() if w.isdigit()]
        return clusters

    def cluster_range(self, c):
        start = self.offset + c * self.cluster
        return (start, start + self.cluster)

    def record_offset(self, record):
        byte = record * self.record_size
        c = self.mft_clusters[byte // self.cluster]
        return self.offset + c * self.cluster + byte % self.cluster

    def record_range(self, record):
        start = self.record_offset(record)
        return (start, start + self.record_size)

    def index_block_offsets(self, directory):
        record = self.dirs[directory]
        clusters = self.clusters_of(record, "160")
        return [self.offset + c * self.cluster for c in clusters]


def overlaps(ranges, damage):
    return any(a < d1 and d0 < b for a, b in ranges for d0, d1 in damage)


# ---------------------------------------------------------------- record parsing


def attributes(buf):
    """(offset, type, length) of each attribute of a record buffer."""
    out, pos = [], struct.unpack_from("<H", buf, 0x14)[0]
    while pos + 8 <= len(buf):
        kind, length = struct.unpack_from("<II", buf, pos)
        if kind == 0xFFFFFFFF or length < 16 or pos + length > len(buf):
            break
        out.append((pos, kind, length))
        pos += length
    return out


# ---------------------------------------------------------------- variants


class Variant:
    def __init__(self, family, name, base, vol, patches=(), cut=None, strict=False):
        self.family, self.name, self.base, self.vol = family, name, base, vol
        self.patches, self.cut, self.strict = list(patches), cut, strict
        self.path = None  # the image given to --disk
        self.raw = None  # a raw equivalent for icat, when there is one
        self.everything_touched = False  # where the damage lands on the volume is unknown

    def damage(self):
        ranges = [(o, o + len(b)) for o, b in self.patches]
        if self.cut is not None:
            ranges.append((self.cut, 1 << 62))
        return ranges


def read(image, offset, length):
    with open(image, "rb") as f:
        f.seek(offset)
        return f.read(length)


def record_variants(fam, base, vol, files):
    out = []
    for record in files:
        name = vol.files[record][0].replace("/", "_")
        off = vol.record_offset(record)
        buf = bytearray(read(vol.image, off, vol.record_size))
        attrs = attributes(buf)
        data = [a for a in attrs if a[1] == 0x80]
        v = lambda n, p: out.append(Variant(fam, "%s-%s" % (n, name), base, vol, p))
        v("zeroed", [(off, bytes(vol.record_size))])
        v("baad", [(off, b"BAAD")])
        v("fixup", [(off + 0x30, b"\xAB\xCD")])
        v("first-attr-offset", [(off + 0x14, struct.pack("<H", 0x3F0))])
        if data:
            pos = data[0][0]
            v("data-length-0", [(off + pos + 4, struct.pack("<I", 0))])
            v("data-length-huge", [(off + pos + 4, struct.pack("<I", 0x7FFFFFF0))])
            v("data-type-garbled", [(off + pos, struct.pack("<I", 0x1234))])
            v("data-name-offset", [(off + pos + 9, b"\x10\xFF\x7F")])
            if buf[pos + 8]:
                v("data-size-huge", [(off + pos + 0x30, struct.pack("<Q", 1 << 62))])
            else:
                v("resident-value-huge", [(off + pos + 0x10, struct.pack("<I", 0xFFFFF))])
        v("attr-end-missing", [(off + attrs[-1][0] + attrs[-1][2], b"\x10\0\0\0\x18\0\0\0")]
          if attrs else [(off + 0x18, b"\xFF\xFF")])
    return out


def run_variants(fam, base, vol, files):
    out = []
    for record in files:
        name = vol.files[record][0].replace("/", "_")
        off = vol.record_offset(record)
        buf = read(vol.image, off, vol.record_size)
        data = [a for a in attributes(buf) if a[1] == 0x80 and buf[a[0] + 8]]
        if not data:
            continue
        pos = data[0][0]
        runs = off + pos + struct.unpack_from("<H", buf, pos + 0x20)[0]
        v = lambda n, p: out.append(Variant(fam, "%s-%s" % (n, name), base, vol, p))
        v("header-ff", [(runs, b"\xFF")])
        v("cut-after-first", [(runs + 1 + (buf[runs - off] & 15) + (buf[runs - off] >> 4),
                               b"\0")])
        v("lcn-huge", [(runs, b"\x81\x01" + b"\x7F" * 7 + b"\0")])
        v("length-huge", [(runs, b"\x18" + b"\xFF" * 7 + b"\x7F" + b"\x10")])
        v("lcn-negative", [(runs, b"\x21\x04\x00\x80\0")])
        v("runs-offset-outside", [(off + pos + 0x20, struct.pack("<H", 0xFFF0))])
        v("vcn-end-huge", [(off + pos + 0x18, struct.pack("<Q", 1 << 60))])
    return out


def mft_self_variants(fam, base, vol):
    out = []
    v = lambda n, p: out.append(Variant(fam, n, base, vol, p))
    off = vol.record_offset(0)
    buf = read(vol.image, off, vol.record_size)
    data = [a for a in attributes(buf) if a[1] == 0x80][0][0]
    runs = off + data + struct.unpack_from("<H", buf, data + 0x20)[0]
    mirror = vol.offset + struct.unpack_from("<Q", read(vol.image, vol.offset + 0x38, 8))[0] \
        * vol.cluster
    v("mft0-zeroed", [(off, bytes(vol.record_size))])
    v("mft0-baad", [(off, b"BAAD")])
    v("mft0-runs-ff", [(runs, b"\xFF")])
    v("mft0-runs-cut", [(runs + 1 + (read(vol.image, runs, 1)[0] & 15)
                         + (read(vol.image, runs, 1)[0] >> 4), b"\0")])
    v("mft0-lcn-huge", [(runs, b"\x81\x10" + b"\x7F" * 7 + b"\0")])
    v("mft0-and-mirror-zeroed", [(off, bytes(vol.record_size)),
                                 (mirror, bytes(vol.record_size))])
    v("mirror-zeroed", [(mirror, bytes(4 * vol.record_size))])
    v("mft-records-0-15-zeroed", [(off, bytes(16 * vol.record_size))])
    v("mftmirr-record-garbled", [(vol.record_offset(1) + 0x20, b"\xEE" * 64)])
    v("upcase-zeroed", [(vol.record_offset(10), bytes(vol.record_size))])
    return out


def index_variants(fam, base, vol):
    out = []
    v = lambda n, p: out.append(Variant(fam, n, base, vol, p))
    for directory in ["/", "Documents", "Pictures", "Photos"]:
        if directory not in vol.dirs:
            continue
        tag = "root" if directory == "/" else directory
        off = vol.record_offset(vol.dirs[directory])
        buf = read(vol.image, off, vol.record_size)
        roots = [a for a in attributes(buf) if a[1] == 0x90]
        if roots:
            pos = roots[0][0]
            value = pos + struct.unpack_from("<H", buf, pos + 0x14)[0]
            v("%s-iroot-entries-offset" % tag, [(off + value + 0x10, struct.pack("<I", 0xFFF0))])
            v("%s-iroot-entry-length-0" % tag,
              [(off + value + 0x10 + struct.unpack_from("<I", buf, value + 0x10)[0] + 8,
                b"\0\0")])
            v("%s-iroot-block-size-0" % tag, [(off + value + 8, struct.pack("<I", 0))])
        blocks = vol.index_block_offsets(directory)
        if blocks:
            b = blocks[0]
            v("%s-indx-zeroed" % tag, [(b, bytes(4096))])
            v("%s-indx-magic" % tag, [(b, b"XXXX")])
            v("%s-indx-usa-count" % tag, [(b + 6, struct.pack("<H", 0xFFFF))])
            v("%s-indx-entries-offset" % tag, [(b + 0x18, struct.pack("<I", 0xFFFFFF))])
            v("%s-indx-entry-length-0" % tag, [(b + 0x18 + struct.unpack_from(
                "<I", read(vol.image, b + 0x18, 4))[0] + 8, b"\0\0")])
            v("%s-indx-garbled" % tag, [(b + 0x40, bytes(range(256)) * 4)])
    return out


def boot_variants(fam, base, vol):
    out = []
    boot = vol.offset
    total = struct.unpack_from("<Q", read(vol.image, boot + 0x28, 8))[0]
    backup = boot + total * 512
    v = lambda n, p: out.append(Variant(fam, n, base, vol, p))
    fields = [
        ("cluster-byte-0", 0x0D, b"\0"),
        ("cluster-byte-ff", 0x0D, b"\xFF"),
        ("cluster-byte-3", 0x0D, b"\x03"),
        ("sector-size-0", 0x0B, b"\0\0"),
        ("sector-size-odd", 0x0B, b"\x01\x03"),
        ("total-2^63", 0x28, struct.pack("<Q", 1 << 63)),
        ("total-64TiB", 0x28, struct.pack("<Q", (64 << 40) // 512)),
        ("mft-cluster-huge", 0x30, struct.pack("<Q", 1 << 60)),
        ("mft-cluster-0", 0x30, struct.pack("<Q", 0)),
        ("mft-cluster-beyond", 0x30, struct.pack("<Q", total)),
        ("record-size-0", 0x40, b"\0"),
        ("record-size-7f", 0x40, b"\x7F"),
        ("index-size-e0", 0x44, b"\xE0"),
        ("oem-garbled", 0x03, b"XXXXXXXX"),
    ]
    for name, field, value in fields:
        v(name, [(boot + field, value)])
    for name, field, value in fields[:6] + fields[7:8]:
        v("both-" + name, [(boot + field, value), (backup + field, value)])
    v("primary-zeroed", [(boot, bytes(512))])
    v("both-zeroed", [(boot, bytes(512)), (backup, bytes(512))])
    return out


def mbr_variants(fam, base, vol):
    out = []
    v = lambda n, p: out.append(Variant(fam, n, base, vol, p))
    e = 446
    v("start-beyond", [(e + 8, struct.pack("<I", 0xFFFFFF00))])
    v("size-huge", [(e + 12, struct.pack("<I", 0xFFFFFFFF))])
    v("size-0", [(e + 12, struct.pack("<I", 0))])
    v("four-overlapping", [(e + 16 * i, read(base, e, 16)) for i in range(1, 4)])
    v("extended-loop", [(e + 16, bytes([0, 0, 0, 0, 5, 0, 0, 0]) + struct.pack("<II", 0, 100))])
    v("extended-self", [(e + 16, bytes([0, 0, 0, 0, 0x0F, 0, 0, 0]) + struct.pack(
        "<II", 1, 100)), (512 + 446, bytes([0, 0, 0, 0, 0x0F, 0, 0, 0]) +
        struct.pack("<II", 0, 100)), (512 + 510, b"\x55\xAA")])
    v("no-signature", [(510, b"\0\0")])
    v("type-ee-no-gpt", [(e + 4, b"\xEE")])
    return out


def gpt_header(image, lba):
    return bytearray(read(image, lba * 512, 92))


def with_crc(header):
    header[16:20] = b"\0\0\0\0"
    header[16:20] = struct.pack("<I", zlib.crc32(bytes(header)))
    return bytes(header)


def gpt_variants(fam, base, vol):
    out = []
    v = lambda n, p: out.append(Variant(fam, n, base, vol, p))
    size = os.path.getsize(base)
    last = size // 512 - 1
    h = gpt_header(base, 1)

    def field(name, at, value, both=False):
        hdr = bytearray(h)
        hdr[at:at + len(value)] = value
        patches = [(512, with_crc(hdr))]
        if both:
            back = gpt_header(base, last)
            back[at:at + len(value)] = value
            patches.append((last * 512, with_crc(back)))
        v(name, patches)

    v("header-crc", [(512 + 16, b"\x01\x02\x03\x04")])
    v("both-header-crc", [(512 + 16, b"\x01\x02\x03\x04"), (last * 512 + 16, b"\x01\x02\x03\x04")])
    v("primary-zeroed", [(512, bytes(512))])
    v("both-zeroed", [(512, bytes(512)), (last * 512, bytes(512))])
    field("entry-count-huge", 80, struct.pack("<I", 0xFFFFFFFF), True)
    field("entry-size-0", 84, struct.pack("<I", 0), True)
    field("entry-size-1", 84, struct.pack("<I", 1), True)
    field("entry-size-huge", 84, struct.pack("<I", 0x10000000), True)
    field("entries-lba-huge", 72, struct.pack("<Q", 1 << 62), True)
    field("header-size-huge", 12, struct.pack("<I", 0xFFFF), True)
    v("entries-crc", [(1024 + 32, struct.pack("<Q", 4))])
    # Crafted entries, the array's CRC and both headers made to match.
    entries = bytearray(read(base, 1024, 128 * 128))
    crafted = {
        "entry-end-before-start": lambda e: struct.pack_into("<QQ", e, 32, 5000, 10),
        "entry-end-beyond": lambda e: struct.pack_into("<Q", e, 40, 1 << 62),
        "entry-start-huge": lambda e: struct.pack_into("<QQ", e, 32, 1 << 62, (1 << 62) + 100),
        "entry-name-controls": lambda e: e.__setitem__(slice(56, 128),
                                                       "a\tb\nc\x1b[31m".encode("utf-16-le")
                                                       .ljust(72, b"\0")),
        "entries-128-copies": None,
    }
    for name, change in crafted.items():
        arr = bytearray(entries)
        if change is None:
            for i in range(1, 128):
                arr[i * 128:(i + 1) * 128] = arr[0:128]
        else:
            first = bytearray(arr[0:128])
            change(first)
            arr[0:128] = first
        crc = struct.pack("<I", zlib.crc32(bytes(arr)))
        hdr = bytearray(h)
        hdr[88:92] = crc
        back = gpt_header(base, last)
        back[88:92] = crc
        back_entries = struct.unpack_from("<Q", back, 72)[0]
        v(name, [(1024, bytes(arr)), (512, with_crc(hdr)), (back_entries * 512, bytes(arr)),
                 (last * 512, with_crc(back))])
    return out


def cut_variants(fam, base, vol):
    size = os.path.getsize(base)
    cuts = {"cut-12000000": 12000000, "cut-half": size // 2, "cut-one-sector": 512,
            "cut-empty": 0, "cut-in-mft": vol.record_offset(40) + 100,
            "cut-last-sector": size - 512, "cut-odd": size - 4097}
    return [Variant(fam, n, base, vol, cut=c, strict=True) for n, c in cuts.items()
            if c < size]


# Containers: (name, suffix, maker); the maker writes WORK/cont/NAME.SUFFIX from a raw disk.
def make_container(form, raw, out):
    if form == "e01":
        return sh(["ewfacquire", "-u", "-q", "-t", out[:-4], "-S", "1048576", "-c", "fast",
                   raw]).returncode == 0
    if form == "split":
        return sh(["split", "-b", "3M", "-a", "3", "--numeric-suffixes=1", raw,
                   out[:-4] + "."]).returncode == 0
    opts = {"qcow2": ["-O", "qcow2"], "qcow2c": ["-O", "qcow2", "-c"],
            "vhd": ["-O", "vpc", "-o", "subformat=fixed"], "vhd-dyn": ["-O", "vpc"],
            "vhdx": ["-O", "vhdx"], "vmdk": ["-O", "vmdk"]}[form]
    return sh(["qemu-img", "convert"] + opts + [raw, out]).returncode == 0


SUFFIX = {"e01": ".E01", "split": ".001", "qcow2": ".qcow2", "qcow2c": ".qcow2",
          "vhd": ".vhd", "vhd-dyn": ".vhd", "vhdx": ".vhdx", "vmdk": ".vmdk"}


def container_variants(fam, base, vol):
    out = []
    for form in SUFFIX:
        folder = os.path.join(WORK, "cont", form)
        os.makedirs(folder, exist_ok=True)
        first = os.path.join(folder, "disk" + SUFFIX[form])
        if not make_container(form, base, first):
            print("  (no %s container: its tool is missing or failed)" % form)
            continue
        pieces = sorted(os.listdir(folder))
        target = os.path.join(folder, pieces[-1] if form in ("e01", "split") else pieces[0])
        size = os.path.getsize(target)
        kinds = [("cut-0.1%", "cut", size - max(512, size // 1000)),
                 ("cut-half", "cut", size // 2),
                 ("cut-header", "cut", 300),
                 ("garble-start", "patch", (64, b"\xA5" * 64)),
                 ("garble-middle", "patch", (size // 2, b"\x5A" * 4096)),
                 ("garble-end", "patch", (max(0, size - 700), b"\x3C" * 200))]
        if form in ("e01", "split"):
            kinds.append(("piece-missing", "remove", os.path.join(folder, pieces[0])
                          if form == "split" else os.path.join(folder, pieces[-1])))
        for name, how, arg in kinds:
            # A cut or missing piece loses bytes: only those before damage are right. A
            # garbled one changes what the disk holds, unless a checksum (E01) says so.
            strict = how != "patch" or form == "e01"
            v = Variant(fam, "%s-%s" % (form, name), base, vol, strict=strict)
            v.everything_touched = not strict
            v.container = (form, folder, first, how, arg)
            out.append(v)
    return out


# ---------------------------------------------------------------- building variants


def materialise(v, folder):
    os.makedirs(folder, exist_ok=True)
    if hasattr(v, "container"):
        form, src, first, how, arg = v.container
        for piece in os.listdir(src):
            shutil.copy(os.path.join(src, piece), folder)
        target = os.path.join(folder, os.path.basename(
            arg if how == "remove" else (sorted(os.listdir(src))[-1] if form in ("e01", "split")
                                         else os.path.basename(first))))
        if how == "cut":
            os.truncate(target, arg)
        elif how == "patch":
            with open(target, "r+b") as f:
                f.seek(arg[0])
                f.write(arg[1])
        elif how == "remove":
            os.remove(target)
        v.path = os.path.join(folder, os.path.basename(first))
        if form == "split":
            raw = os.path.join(folder, "as-raw.img")
            with open(raw, "wb") as out:
                for piece in sorted(os.listdir(folder)):
                    if re.search(r"\.\d\d\d$", piece):
                        with open(os.path.join(folder, piece), "rb") as f:
                            shutil.copyfileobj(f, out)
            v.raw = raw
        elif form != "e01":
            raw = os.path.join(folder, "as-raw.img")
            if sh(["qemu-img", "convert", "-O", "raw", v.path, raw], timeout=120).returncode == 0:
                v.raw = raw
        return
    v.path = os.path.join(folder, "disk.img")
    shutil.copy(v.base, v.path)
    with open(v.path, "r+b") as f:
        for off, data in v.patches:
            f.seek(off)
            f.write(data)
    if v.cut is not None:
        os.truncate(v.path, v.cut)
    v.raw = v.path


# ---------------------------------------------------------------- running


def is_asan(build):
    cache = os.path.join(build, "CMakeCache.txt")
    return os.path.exists(cache) and "TARVIK_SANITIZE:BOOL=ON" in open(cache).read()


def run_bounded(args, asan, log):
    """(outcome, seconds, max RSS MiB); outcome: ok, rc=N, crash:SIG, timeout, memory."""
    bound = int(os.environ.get("DAMAGE_MEM_MIB", "3072" if asan else "1024"))

    def limit():
        if not asan:
            import resource
            cap = 4 * bound * MiB
            resource.setrlimit(resource.RLIMIT_AS, (cap, cap))

    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=1:abort_on_error=0",
               UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=0")
    start = time.time()
    with open(log + ".out", "wb") as out, open(log + ".err", "wb") as err:
        p = subprocess.Popen(args, stdout=out, stderr=err, preexec_fn=limit, env=env,
                             start_new_session=True, stdin=subprocess.DEVNULL)
        timed_out = False
        while True:
            pid, status, usage = os.wait4(p.pid, os.WNOHANG)
            if pid:
                break
            if time.time() - start > TIMEOUT:
                os.killpg(p.pid, signal.SIGKILL)
                timed_out = True
                _, status, usage = os.wait4(p.pid, 0)
                break
            time.sleep(0.02)
    seconds = time.time() - start
    rss = usage.ru_maxrss / 1024
    errors = open(log + ".err", "rb").read().decode(errors="replace")
    if timed_out:
        return "timeout", seconds, rss
    if rss > bound or "bad_alloc" in errors:
        return "memory", seconds, rss
    if os.WIFSIGNALED(status):
        return "crash:%d" % os.WTERMSIG(status), seconds, rss
    return "rc=%d" % os.WEXITSTATUS(status), seconds, rss


SANITIZER = re.compile(r"ERROR: (Address|Leak|Memory|Thread)Sanitizer|runtime error:|"
                       r"SUMMARY: UndefinedBehaviorSanitizer")


def icat_sha(v, record, cache):
    if v.raw is None:
        return None
    if record not in cache:
        r = sh(["icat", "-f", "ntfs", "-o", str(v.vol.sector), v.raw, str(record)], timeout=60)
        cache[record] = sha(r.stdout) if r.returncode == 0 else None
    return cache[record]


def check_report(v, report, result):
    icats = {}
    damage = v.damage()
    by_path = {f[0]: (r, f[1]) for r, f in v.vol.files.items()}
    for line in open(report, encoding="utf-8", errors="replace").read().splitlines()[1:]:
        cols = line.split("\t")
        if len(cols) < 5 or cols[3] != "intact":
            continue
        path, record = cols[0], int(cols[4]) if cols[4].isdigit() else -1
        if not os.path.isfile(path):
            result["notes"].append("report names a missing file %s" % path)
            continue
        got = file_sha(path)
        if got != cols[2]:
            result["silent"].append("%s: report SHA-256 is not the written file's" % path)
            continue
        known = v.vol.files.get(record)
        untouched = known and not v.strict and not v.everything_touched and \
            not overlaps(known[2], damage)
        if known and got == known[1]:
            continue
        # The right bytes under another record number: the number is wrong, not the file.
        same_path = by_path.get(path.split("/Root/", 1)[-1])
        if same_path and got == same_path[1]:
            result["renumbered"].append("%s: record %d, was %d" % (path, record,
                                                                    same_path[0]))
            continue
        if v.strict or untouched:
            if known:
                result["silent"].append("%s (record %d): written bytes differ from the "
                                        "volume's" % (path, record))
            elif icat_sha(v, record, icats) != got:
                result["unjudged"].append("%s (record %d)" % (path, record))
            continue
        held = icat_sha(v, record, icats)
        if held is None:
            result["unjudged"].append("%s (record %d): icat cannot read it" % (path, record))
        elif held != got:
            result["silent"].append("%s (record %d): differs from icat on the damaged image"
                                    % (path, record))


def run_variant(v, index):
    folder = os.path.join(WORK, "v", "%03d-%s-%s" % (index, v.family, v.name))
    materialise(v, folder)
    results = []
    for build in BUILDS:
        asan = is_asan(build)
        cli = os.path.join(build, "tarvik-cli")
        tag = os.path.basename(build.rstrip("/"))
        result = {"build": tag, "variant": v, "outcomes": [], "sanitizer": [], "silent": [],
                  "unjudged": [], "renumbered": [], "notes": []}
        out = os.path.join(folder, "out-" + tag)
        report = os.path.join(folder, "report-" + tag + ".tsv")
        commands = [("drives", ["drives", "--disk", v.path]),
                    ("scan", ["scan", "--disk", v.path]),
                    ("advance", ["scan", "--disk", v.path, "--advance"]),
                    ("recover", ["recover", "--disk", v.path, "--all", "--out", out,
                                 "--report", report])]
        for name, args in commands:
            log = os.path.join(folder, "%s-%s" % (tag, name))
            outcome = run_bounded([cli] + args, asan, log)
            result["outcomes"].append((name,) + outcome)
            errors = open(log + ".err", "rb").read().decode(errors="replace")
            if SANITIZER.search(errors):
                result["sanitizer"].append(name)
            os.remove(log + ".out")
        if os.path.exists(report):
            check_report(v, report, result)
        shutil.rmtree(out, ignore_errors=True)
        results.append(result)
    for name in os.listdir(folder):
        if name.endswith((".img", ".E01", ".qcow2", ".vhd", ".vhdx", ".vmdk")) or \
                re.search(r"\.(E\d\d|\d\d\d)$", name):
            os.remove(os.path.join(folder, name))
    return results


def main():
    bases = {"bare": (os.path.join(WORK, "base", "bare.img"), 0),
             "mbr": (os.path.join(WORK, "base", "mbr.img"), 2048),
             "gpt": (os.path.join(WORK, "base", "gpt.img"), 2048)}
    vols = {k: Volume(*b) for k, b in bases.items()}
    for k, vol in vols.items():
        print("%s: %d files noted, %d-byte clusters, %d-byte records"
              % (k, len(vol.files), vol.cluster, vol.record_size))

    def pick(vol, names):
        return [r for r, f in vol.files.items() if f[0] in names]

    targets = {"bare": ["tiny.txt", "Documents/Reports 2023/large.bin", "Pictures/frag-a.jpg",
                        "Archive/compressed.log", "Archive/sparse.img",
                        "Documents/deleted-frag.bin"],
               "mbr": ["Music/song.mp3", "Documents/letter.txt",
                       "Photos/deleted-photo.jpg"],
               "gpt": ["Documents/Reports 2023/large.bin", "Pictures/frag-b.jpg"]}
    variants = []
    for k, vol in vols.items():
        b = bases[k][0]
        variants += record_variants("mft-record", b, vol, pick(vol, targets[k]))
        variants += run_variants("runs", b, vol, pick(vol, targets[k]))
        variants += mft_self_variants("mft-self", b, vol)
        variants += index_variants("index", b, vol)
        variants += boot_variants("boot", b, vol)
        variants += cut_variants("cut", b, vol)
    variants += mbr_variants("mbr", bases["mbr"][0], vols["mbr"])
    variants += gpt_variants("gpt", bases["gpt"][0], vols["gpt"])
    variants += container_variants("container", bases["gpt"][0], vols["gpt"])
    for v in variants:
        v.name = "%s-%s" % (os.path.basename(v.base)[:-4], v.name)
    if ONLY:
        variants = [v for v in variants if v.family == ONLY]
    print("%d damaged images x 4 commands x %d builds" % (len(variants), len(BUILDS)))

    results = []
    with concurrent.futures.ThreadPoolExecutor(JOBS) as pool:
        futures = [pool.submit(run_variant, v, i) for i, v in enumerate(variants)]
        for n, f in enumerate(concurrent.futures.as_completed(futures), 1):
            results += f.result()
            if n % 20 == 0:
                print("  %d/%d images done" % (n, len(variants)), flush=True)

    columns = ["images", "crashes", "sanitizer", "timeouts", "memory", "silent", "unjudged",
               "renumbered"]
    failing = 0
    details = []
    for build in BUILDS:
        tag = os.path.basename(build.rstrip("/"))
        table = {}
        for r in results:
            if r["build"] != tag:
                continue
            row = table.setdefault(r["variant"].family, dict.fromkeys(columns, 0))
            row["images"] += 1
            slowest = max(o[2] for o in r["outcomes"])
            row.setdefault("max_s", 0)
            row["max_s"] = max(row["max_s"], slowest)
            row.setdefault("max_mib", 0)
            row["max_mib"] = max(row["max_mib"], max(o[3] for o in r["outcomes"]))
            for name, outcome, _, _ in r["outcomes"]:
                key = {"timeout": "timeouts", "memory": "memory"}.get(outcome)
                if outcome.startswith("crash"):
                    key = "crashes"
                if key:
                    row[key] += 1
                    details.append("%s %s %s: %s" % (tag, r["variant"].name, name, outcome))
            row["sanitizer"] += len(r["sanitizer"])
            row["silent"] += len(r["silent"])
            row["unjudged"] += len(r["unjudged"])
            row["renumbered"] += len(r["renumbered"])
            for s in r["sanitizer"]:
                details.append("%s %s %s: sanitizer report" % (tag, r["variant"].name, s))
            for s in r["silent"]:
                details.append("%s %s: SILENT LOSS %s" % (tag, r["variant"].name, s))
            for s in r["unjudged"]:
                details.append("%s %s: unjudged %s" % (tag, r["variant"].name, s))
            if r["renumbered"]:
                details.append("%s %s: %d files right under another record number, as %s"
                               % (tag, r["variant"].name, len(r["renumbered"]),
                                  r["renumbered"][0]))
        print("\n== %s (%s)" % (tag, "ASan+UBSan, RSS bound" if is_asan(build) else
                                 "address-space and RSS bound"))
        print("%-12s" % "family" + "".join("%11s" % c for c in columns) + "%9s%9s"
              % ("max s", "max MiB"))
        total = dict.fromkeys(columns, 0)
        total["max_s"] = total["max_mib"] = 0
        for fam in sorted(table):
            row = table[fam]
            for c in columns:
                total[c] += row[c]
            total["max_s"] = max(total["max_s"], row["max_s"])
            total["max_mib"] = max(total["max_mib"], row["max_mib"])
            print("%-12s" % fam + "".join("%11d" % row[c] for c in columns) +
                  "%9.1f%9.0f" % (row["max_s"], row["max_mib"]))
        print("%-12s" % "total" + "".join("%11d" % total[c] for c in columns) +
              "%9.1f%9.0f" % (total["max_s"], total["max_mib"]))
        failing += sum(total[c] for c in columns[1:6])
    if details:
        print("\nfindings (logs under %s/v):" % WORK)
        for d in details:
            print("  " + d)
    return 1 if failing else 0


if __name__ == "__main__":
    sys.exit(main())
