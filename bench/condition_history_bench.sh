#!/usr/bin/env bash
# How far "intact" can be trusted after a long history of deletions. A volume of FILES
# files of mixed sizes is filled to the last cluster; then, in ten rounds, each a mount
# of its own (so new files take the first free records, those of files deleted before):
#   - a share of the first files is deleted;
#   - about two in five of the files written in earlier rounds are deleted in turn;
#   - new files take two thirds of the bytes freed: small ones, and one large file that
#     lands in the scattered holes (as many runs as they are; an attribute list and
#     extension records when its record cannot hold them).
# So clusters of early deleted files are written by later files, some of which are
# deleted too and whose records newer files then take: no record tells any more who
# held those clusters. Every file's SHA-256 is taken from the generator before it is
# deleted. Then `recover --deleted --report` writes the deleted files back and the
# figures compare, over the deleted files the scan lists at their path:
#   - precision of "intact": of those marked intact, how many came back byte-identical;
#   - recall of "intact": of those that came back byte-identical, how many were marked so;
#   - the other verdicts, and how the wrong "intact" ones are spread.
# Run by hand, not by CTest (FILES defaults to 20000; 200000 takes hours here):
#   bash bench/condition_history_bench.sh [FILES]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
files=${1:-20000}
dir=${BENCH_DIR:-/tmp/tarvik-bench}
image="$dir/history-$files.img"
manifest="$image.manifest"  # PATH<TAB>SIZE<TAB>SHA256
cli=${TARVIK_CLI:-$here/build/tarvik-cli}
fixture="$here/build/ntfs-fixture"
PATH=$PATH:/usr/sbin:/sbin
mkdir -p "$dir"
# shellcheck source=lib/filled_volume.sh
source "$here/bench/lib/filled_volume.sh"

if [ ! -f "$image" ] || [ ! -f "$manifest" ]; then
  work=$(mktemp -d "$dir/make.XXXXXX")
  echo "making $image ($files files) ..."
  # The plan: the first files, then each round from what the rounds before left.
  cat >"$work/plan.py" <<'EOF'
import json, math, random, sys
work = sys.argv[2]
state_path = f"{work}/state.json"
if sys.argv[1] == "init":
    files = int(sys.argv[3])
    rng = random.Random(23)
    first = []
    with open(f"{work}/fill.script", "w") as out:
        for n in range(files):
            if n % 1000 == 0:
                out.write(f"mkdir /d{n // 1000}\n")
            if rng.random() < 0.35:
                size = rng.randint(50, 600)
            else:
                size = int(math.exp(rng.uniform(math.log(1024), math.log(24 * 1024))))
            first.append((f"/d{n // 1000}/file-{n}.txt", size, 1_000_000 + n))
            out.write(f"write {first[-1][0]} {size} {first[-1][2]}\n")
    with open(f"{work}/bytes", "w") as out:
        out.write(f"{sum(s for _, s, _ in first)}\n")
    rng.shuffle(first)
    state = {"doomed": first[: len(first) * 20 // 100], "written": [], "seed": 900_000_000,
             "pending": []}
    json.dump(state, open(state_path, "w"))
    sys.exit(0)
# round R [STOPPED-AT-LINE]: the files the previous round wrote from that line on are not
# there (it ran out of room); then this round's deletions and writes.
r = int(sys.argv[3])
stopped = int(sys.argv[4]) if len(sys.argv) > 4 and sys.argv[4] else 0
state = json.load(open(state_path))
rng = random.Random(1000 + r)
for line, entry in state["pending"]:
    if not stopped or line < stopped:
        state["written"].append(entry)
state["pending"] = []
part = state["doomed"][r::10]
written = state["written"]
rng.shuffle(written)
again = written[: len(written) * 2 // 5]
state["written"] = written[len(again):]
lines = ["mkdir /new"] if r == 0 else []
freed = 0
with open(f"{work}/deleted.list", "a") as listed:
    for path, size, s in part + again:
        lines.append(f"times {path}")
        lines.append(f"delete {path}")
        listed.write(f"{path}\t{size}\t{s}\n")
        freed += size
budget = freed * 2 // 3
big = min(budget // 3, 1 << 20)
budget -= big
def write(path, size):
    state["seed"] += 1
    lines.append(f"write {path} {size} {state['seed']}")
    state["pending"].append((len(lines), (path, size, state["seed"])))
k = 0
while budget > 0:
    size = min(budget, int(math.exp(rng.uniform(math.log(700), math.log(48 * 1024)))))
    k += 1
    write(f"/new/r{r}-{k}.bin", size)
    budget -= size
# Last, as it may find no room: ntfs-3g keeps part of the free space for the MFT.
if big > (64 << 10):
    write(f"/new/r{r}-big.bin", big)
open(f"{work}/round-{r}.script", "w").write("\n".join(lines) + "\n")
json.dump(state, open(state_path, "w"))
EOF
  python3 "$work/plan.py" init "$work" "$files"
  total=$(cat "$work/bytes")
  truncate -s $(( (total + files * 5000) / 1048576 + 96 ))M "$work/image"
  mkntfs -F -q -Q -c 4096 "$work/image" >/dev/null 2>&1
  "$fixture" "$work/image" "$work/fill.script"
  bench_fill_to_last_cluster "$fixture" "$work/image" "$work/filler.log"
  stopped=""
  for r in $(seq 0 9); do
    # A round that runs out of room stops at a write; the next round knows which files
    # are not there.
    python3 "$work/plan.py" round "$work" "$r" "$stopped"
    "$fixture" "$work/image" "$work/round-$r.script" >>"$work/times" 2>"$work/round.log" || true
    stopped=$(sed -n 's/.*script stopped at line \([0-9]*\).*/\1/p' "$work/round.log")
    [ -z "$stopped" ] || echo "round $r stopped at line $stopped: $(head -n 1 "$work/round.log")"
  done
  # The deleted files are those "times" printed: each is deleted right after.
  cut -f1 "$work/times" | sort >"$work/done"
  python3 - "$work" <<'EOF'
import sys
work = sys.argv[1]
done = set(l.rstrip("\n") for l in open(f"{work}/done"))
with open(f"{work}/deleted.done", "w") as out:
    for line in open(f"{work}/deleted.list"):
        if line.split("\t")[0] in done:
            out.write(line)
EOF
  cut -f2,3 "$work/deleted.done" | tr '\t' ' ' | "$fixture" --bytes-list | python3 -c "
import hashlib, sys
src = sys.stdin.buffer
with open('$work/manifest', 'w') as out:
    for line in open('$work/deleted.done'):
        path, size, seed = line.rstrip('\n').split('\t')
        out.write(f'{path}\t{size}\t{hashlib.sha256(src.read(int(size))).hexdigest()}\n')
"
  mv "$work/manifest" "$manifest"
  mv "$work/image" "$image"
  rm -rf "$work"
fi

out=$(mktemp -d "$dir/out.XXXXXX")
trap 'rm -rf "$out"' EXIT
echo "image: $image, $(( $(stat -c %s "$image") / 1048576 )) MiB, $(wc -l <"$manifest") files deleted"
bench_scan_and_recover_deleted "$cli" "$image" "$out"

python3 - "$manifest" "$out" <<'EOF'
import sys
manifest, out = sys.argv[1], sys.argv[2]
want = {}
for line in open(manifest):
    path, size, sha = line.rstrip("\n").split("\t")
    want["Root" + path] = (int(size), sha)
condition, record = {}, {}
for line in open(f"{out}/scan"):
    f = line.rstrip("\n").split("\t")
    if f[0] == "File" and f[1] == "deleted" and f[6] in want and f[6] not in condition:
        condition[f[6]] = f[7]
        record[f[6]] = f[4]
rows = {}
for line in list(open(f"{out}/report.tsv"))[1:]:
    f = line.rstrip("\n").split("\t")
    tree = "Root" + f[0].split("/Root", 1)[1]
    rows.setdefault(tree, f)
found = [p for p in want if p in condition]
identical = {p for p in found if p in rows and rows[p][2] == want[p][1]}
intact = {p for p in found if condition[p] == "intact"}
both = intact & identical
counts = {}
for p in found:
    counts[condition[p]] = counts.get(condition[p], 0) + 1
print(f"deleted files: {len(want)}; listed at their path as deleted: {len(found)}"
      " (the others' records were reused)")
print("conditions: " + ", ".join(f"{k} {v}" for k, v in sorted(counts.items())))
print(f"written back byte-identical: {len(identical)}")
print(f"precision of intact: {len(both)} of {len(intact)} = "
      f"{100.0 * len(both) / max(1, len(intact)):.3f}%")
print(f"recall of intact: {len(both)} of {len(identical)} = "
      f"{100.0 * len(both) / max(1, len(identical)):.3f}%")
unknown_whole = sum(1 for p in identical if condition[p] == "unknown")
print(f"byte-identical but unknown: {unknown_whole}")
for p in sorted(intact - identical)[:10]:
    print(f"  intact, bytes differ: {p} (record {record[p]}, {want[p][0]} bytes)")
EOF
