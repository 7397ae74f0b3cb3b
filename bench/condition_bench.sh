#!/usr/bin/env bash
# How far the condition `scan` gives a deleted file can be trusted, at scale. A volume
# of FOLDERS x FILES_PER_FOLDER files of mixed sizes (a third small enough to live in
# their records) is filled to the last cluster; then, in ten rounds, a share of the
# files is deleted and new files are written, which can only land in the clusters the
# deletions freed. Before each deletion the manifest takes the file's SHA-256 and the
# modification time ntfs-3g gave it. Then `recover --deleted --report` writes the
# deleted files back, and the figures compare:
#   - of the deleted files marked intact, how many came back byte-identical;
#   - of those that came back byte-identical, how many were marked intact;
#   - of those that came back intact, how many carry the manifest's modification time;
#   - whether the report's SHA-256 is sha256sum's for every file written.
# Run by hand, not by CTest:
#   bash bench/condition_bench.sh [FOLDERS] [FILES_PER_FOLDER]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
folders=${1:-200}
per_folder=${2:-1000}
dir=${BENCH_DIR:-/tmp/tarvik-bench}
image="$dir/conditions-${folders}x${per_folder}.img"
manifest="$image.manifest"  # PATH<TAB>RECORD<TAB>SIZE<TAB>SHA256<TAB>MODIFIED (FILETIME)
cli="$here/build/tarvik-cli"
fixture="$here/build/ntfs-fixture"
PATH=$PATH:/usr/sbin:/sbin
mkdir -p "$dir"
# shellcheck source=lib/filled_volume.sh
source "$here/bench/lib/filled_volume.sh"

if [ ! -f "$image" ] || [ ! -f "$manifest" ]; then
  work=$(mktemp -d "$dir/make.XXXXXX")
  echo "making $image ($((folders * per_folder)) files) ..."
  # Sizes, seeds and the rounds of deletions, all from one fixed random sequence.
  python3 - "$folders" "$per_folder" "$work" <<'EOF'
import math, random, sys
folders, per_folder, work = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
rng = random.Random(15)
files = []
with open(f"{work}/fill.script", "w") as out:
    for f in range(1, folders + 1):
        out.write(f"mkdir /d{f}\n")
        for n in range(1, per_folder + 1):
            if rng.random() < 0.35:
                size = rng.randint(50, 600)
            else:
                size = int(math.exp(rng.uniform(math.log(1024), math.log(24 * 1024))))
            seed = f * 1_000_000 + n
            files.append((f"/d{f}/file-{n}.txt", size, seed))
            out.write(f"write {files[-1][0]} {size} {seed}\n")
total = sum(s for _, s, _ in files)
with open(f"{work}/bytes", "w") as out:
    out.write(f"{total}\n")
# About a fifth deleted, in ten rounds; after each, new files of about a sixth of the
# bytes that round freed.
rng.shuffle(files)
doomed = files[: len(files) * 21 // 100]
rounds = 10
seed = 900_000_000
with open(f"{work}/rounds.script", "w") as out, open(f"{work}/deleted.list", "w") as listed:
    out.write("mkdir /new\n")
    for r in range(rounds):
        part = doomed[r::rounds]
        freed = 0
        for path, size, s in part:
            out.write(f"times {path}\n")
            out.write(f"delete {path}\n")
            listed.write(f"{path}\t{size}\t{s}\n")
            freed += size
        budget = freed // 6
        k = 0
        while budget > 0:
            size = min(budget, int(math.exp(rng.uniform(math.log(1024), math.log(64 * 1024)))))
            seed += 1
            k += 1
            out.write(f"write /new/r{r}-{k}.bin {size} {seed}\n")
            budget -= size
EOF
  total=$(cat "$work/bytes")
  files=$((folders * per_folder))
  # Data, one record per file and room for the folders' indexes.
  truncate -s $(( (total + files * 5000) / 1048576 + 96 ))M "$work/image"
  mkntfs -F -q -Q -c 4096 "$work/image" >/dev/null 2>&1
  "$fixture" "$work/image" "$work/fill.script"
  bench_fill_to_last_cluster "$fixture" "$work/image" "$work/filler.log"
  tail -n 1 "$work/filler.log"
  "$fixture" "$work/image" "$work/rounds.script" >"$work/times"
  # SHA-256 of every deleted file's content, from the generator in one run.
  cut -f2,3 "$work/deleted.list" | tr '\t' ' ' | "$fixture" --bytes-list | python3 -c "
import hashlib, sys
sizes = [int(l.split('\t')[1]) for l in open('$work/deleted.list')]
times = {}
for l in open('$work/times'):
    p, rec, mod = l.rstrip('\n').split('\t')
    times[p] = (rec, mod)
src = sys.stdin.buffer
with open('$work/manifest', 'w') as out:
    for line, size in zip(open('$work/deleted.list'), sizes):
        path = line.split('\t')[0]
        digest = hashlib.sha256(src.read(size)).hexdigest()
        rec, mod = times[path]
        out.write(f'{path}\t{rec}\t{size}\t{digest}\t{mod}\n')
"
  mv "$work/manifest" "$manifest"
  mv "$work/image" "$image"
  rm -rf "$work"
fi

out=$(mktemp -d "$dir/out.XXXXXX")
trap 'rm -rf "$out"' EXIT
echo "image: $image, $(( $(stat -c %s "$image") / 1048576 )) MiB, $(wc -l <"$manifest") files deleted"
bench_scan_and_recover_deleted "$cli" "$image" "$out"
# Every written file's SHA-256, to hold the report's against.
(cd "$out" && cut -f1 report.tsv | tail -n +2 | tr '\n' '\0' | xargs -0 sha256sum) >"$out/sums"

python3 - "$manifest" "$out" <<'EOF'
import os, sys
manifest, out = sys.argv[1], sys.argv[2]
want = {}
for line in open(manifest):
    path, rec, size, sha, mod = line.rstrip("\n").split("\t")
    want["Root" + path] = (int(rec), int(size), sha, int(mod))
condition = {}
for line in open(f"{out}/scan"):
    f = line.rstrip("\n").split("\t")
    if f[0] == "File" and f[1] == "deleted" and f[6] in want:
        condition[f[6]] = f[7]
rows = {}
for line in list(open(f"{out}/report.tsv"))[1:]:
    f = line.rstrip("\n").split("\t")
    tree = "Root" + f[0].split("/Root", 1)[1]
    rows[tree] = f
sums = {}
for line in open(f"{out}/sums"):
    digest, path = line.rstrip("\n").split("  ", 1)
    sums[path] = digest
bad_report = sum(1 for f in rows.values() if sums.get(f[0]) != f[2])
found = [p for p in want if p in condition]
identical = {p for p in found if p in rows and rows[p][2] == want[p][2]}
intact = {p for p in found if condition[p] == "intact"}
both = intact & identical
print(f"deleted files in the manifest: {len(want)}; listed by the scan as deleted: {len(found)}"
      " (the others' records were reused)")
counts = {}
for p in found:
    counts[condition[p]] = counts.get(condition[p], 0) + 1
print("conditions: " + ", ".join(f"{k} {v}" for k, v in sorted(counts.items())))
print(f"written back byte-identical: {len(identical)}")
print(f"marked intact that are byte-identical: {len(both)} of {len(intact)} = "
      f"{100.0 * len(both) / max(1, len(intact)):.3f}%")
print(f"byte-identical that are marked intact: {len(both)} of {len(identical)} = "
      f"{100.0 * len(both) / max(1, len(identical)):.3f}%")
for p in sorted(intact - identical)[:10]:
    print(f"  marked intact, bytes differ: {p} (record {want[p][0]}, {want[p][1]} bytes)")
for p in sorted(identical - intact)[:10]:
    print(f"  byte-identical, marked {condition[p]}: {p} (record {want[p][0]}, {want[p][1]} bytes)")
same_time = 0
for p in identical:
    st = os.stat(rows[p][0])
    filetime = (st.st_mtime_ns // 100) + 116444736000000000
    same_time += filetime == want[p][3]
print(f"recovered intact with the manifest's modification time: {same_time} of {len(identical)}"
      f" = {100.0 * same_time / max(1, len(identical)):.3f}%")
print(f"report rows whose SHA-256 differs from sha256sum: {bad_report} of {len(rows)}")
EOF
