#!/usr/bin/env python3
"""A bare NTFS volume whose MFT is written directly, for scans of millions of records
without making them through a file system driver: a boot sector (and its backup), an
MFT of RECORDS 1 KiB records in one run (its first four copied to the mirror), the
system records 0-11, and then folders (one in fifty records, up to six levels deep) and
small resident files in them. Every fifth file is deleted (its record not in use), and
one deleted file in ten names a parent whose record was since given to a newer folder
(its sequence moved on). No index blocks are written: a scan that needs them finds the
folders empty. Clusters are 4 KiB; the volume is sparse past the MFT.

    python3 bench/synthetic_mft_image.py IMAGE RECORDS
"""
import random
import struct
import sys

RECORD = 1024
CLUSTER = 4096
MFT_CLUSTER = 4
MIRROR_CLUSTER = 2
TIME = 132_000_000_000_000_000  # 2019, in 100 ns since 1601
ROOT = 5
FIRST_FREE = 24


def attribute(kind, value, name="", indexed=0):
    name16 = name.encode("utf-16-le")
    value_offset = (0x18 + len(name16) + 7) & ~7
    length = (value_offset + len(value) + 7) & ~7
    header = struct.pack("<IIBBHHHIHBB", kind, length, 0, len(name), 0x18, 0, 0, len(value),
                         value_offset, indexed, 0)
    body = header + name16
    body += b"\0" * (value_offset - len(body)) + value
    return body + b"\0" * (length - len(body))


def standard_information(attributes):
    return attribute(0x10, struct.pack("<QQQQI", TIME, TIME, TIME, TIME, attributes) + b"\0" * 12)


def file_name(parent, parent_sequence, name, directory, size):
    name16 = name.encode("utf-16-le")
    value = struct.pack("<QQQQQQQIIBB", parent | (parent_sequence << 48), TIME, TIME, TIME, TIME,
                        size, size, 0x10000000 if directory else 0x20, 0, len(name), 1) + name16
    return attribute(0x30, value, indexed=1)


def index_root():
    end_entry = struct.pack("<QHHHH", 0, 0x10, 0, 0x02, 0)
    value = struct.pack("<IIIB3x", 0x30, 1, CLUSTER, 1)
    value += struct.pack("<IIIB3x", 0x10, 0x10 + len(end_entry), 0x10 + len(end_entry), 0)
    return attribute(0x90, value + end_entry, name="$I30")


def non_resident_data(clusters, lcn, size):
    runs = bytes([0x44]) + struct.pack("<I", clusters) + struct.pack("<I", lcn) + b"\0"
    runs += b"\0" * ((-len(runs)) % 8)
    header = struct.pack("<IIBBHHHQQHH4xQQQ", 0x80, 0x40 + len(runs), 1, 0, 0x40, 0, 2, 0,
                         clusters - 1, 0x40, 0, clusters * CLUSTER, size, size)
    return header + runs


def record(number, sequence, flags, attributes):
    body = b"".join(attributes) + struct.pack("<II", 0xFFFFFFFF, 0)
    used = 0x38 + len(body)
    header = struct.pack("<4sHHQHHHHIIQHHI", b"FILE", 0x30, 3, 0, sequence, 1, 0x38, flags, used,
                         RECORD, 0, 8, 0, number)
    data = bytearray(header + struct.pack("<HHH", 1, 0, 0) + b"\0\0" + body)
    data += b"\0" * (RECORD - len(data))
    # The fix-up: each sector's last two bytes saved in the update sequence array.
    for i, end in enumerate((510, 1022)):
        data[0x32 + 2 * i:0x34 + 2 * i] = data[end:end + 2]
        data[end:end + 2] = b"\x01\x00"
    return bytes(data)


def main():
    image, records = sys.argv[1], int(sys.argv[2])
    rng = random.Random(25)
    mft_clusters = (records * RECORD + CLUSTER - 1) // CLUSTER
    volume_clusters = MFT_CLUSTER + mft_clusters + 1024
    sectors = volume_clusters * (CLUSTER // 512)

    def boot_sector():
        sector = struct.pack("<3s8sHBH5xB2xHHI8xQQQbxxxbxxxQ", b"\xebR\x90", b"NTFS    ", 512,
                             CLUSTER // 512, 0, 0xF8, 63, 255, 0, sectors - 1, MFT_CLUSTER,
                             MIRROR_CLUSTER, -10, 1, 0x1234567890ABCDEF)
        return sector + b"\0" * (510 - len(sector)) + b"\x55\xaa"

    system = ["$MFT", "$MFTMirr", "$LogFile", "$Volume", "$AttrDef", ".", "$Bitmap", "$Boot",
              "$BadClus", "$Secure", "$UpCase", "$Extend"]
    # Folders: about one record in fifty, each under a folder made before it.
    depth = {ROOT: 0}
    folders = [ROOT]
    sequence = {}
    with open(image, "wb") as out:
        out.truncate(volume_clusters * CLUSTER)
        out.write(boot_sector())
        out.seek(MFT_CLUSTER * CLUSTER)
        chunk = []
        mirror = []
        for number in range(records):
            if number < len(system):
                directory = number in (ROOT, 11)
                attributes = [standard_information(0x06),
                              file_name(ROOT, ROOT, system[number], directory, 0)]
                if number == 0:
                    attributes.append(non_resident_data(mft_clusters, MFT_CLUSTER,
                                                        records * RECORD))
                elif directory:
                    attributes.append(index_root())
                else:
                    attributes.append(attribute(0x80, b""))
                data = record(number, number if number else 1, 0x03 if directory else 0x01,
                              attributes)
                if number < 4:
                    mirror.append(data)
            elif number < FIRST_FREE:
                data = b"\0" * RECORD
            elif rng.random() < 0.02 or len(folders) < 2:
                parent = rng.choice([f for f in folders[-64:] if depth[f] < 6] or [ROOT])
                depth[number] = depth[parent] + 1
                folders.append(number)
                # One folder in ten took a record freed before it: its sequence moved on.
                sequence[number] = 2 if rng.random() < 0.1 else 1
                data = record(number, sequence[number], 0x03,
                              [standard_information(0x10),
                               file_name(parent, sequence.get(parent, ROOT), f"d{number}", True, 0),
                               index_root()])
            else:
                parent = rng.choice(folders)
                deleted = rng.random() < 0.2
                parent_sequence = sequence.get(parent, ROOT)
                if deleted and parent_sequence == 2 and rng.random() < 0.5:
                    parent_sequence = 1  # named the folder's record before it was reused
                content = b"x" * rng.randint(0, 64)
                data = record(number, 1, 0x00 if deleted else 0x01,
                              [standard_information(0x20),
                               file_name(parent, parent_sequence, f"file-{number}.dat", False,
                                         len(content)),
                               attribute(0x80, content)])
            chunk.append(data)
            if len(chunk) == 4096:
                out.write(b"".join(chunk))
                chunk = []
        out.write(b"".join(chunk))
        out.seek(MIRROR_CLUSTER * CLUSTER)
        out.write(b"".join(mirror))
        out.seek(volume_clusters * CLUSTER - 512)
        out.write(boot_sector())


if __name__ == "__main__":
    main()
