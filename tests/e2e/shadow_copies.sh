#!/usr/bin/env bash
# The Volume Shadow Copies of a Windows 7 volume (vsstest.qcow2 of the shared test data):
# `drives` lists both under their drive with their creation times; each copy scans and
# recovers like a drive, the first giving back `syslog`, which the live volume no longer
# has, and the second `syslog.gz` and `another_file`, byte for byte; `recover
# --all-versions` writes syslog beside the live files under its version name, and the
# report names where every file was read from, and with a chosen folder the versions of
# the files below it. A volume without shadow copies lists none.
set -euo pipefail

CLI=${TARVIK_BUILD_DIR:?}/tarvik-cli
FIXTURES=${TARVIK_FIXTURE_DIR:?}
IMAGE=${TARVIK_SHARED_DIR:?}/testdata/vsstest.qcow2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# shellcheck source=lib/tally.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/tally.sh"

check_md5() {
    local file=$1 want=$2 label=$3
    if [ -f "$file" ] && [ "$(md5sum <"$file" | cut -d' ' -f1)" = "$want" ]; then
        pass
    else
        fail "$label: $file missing or not the expected bytes"
    fi
}

# A volume without shadow copies: no line for them, and nothing said about them.
"$CLI" drives --disk "$FIXTURES/bare-ntfs.img" >"$WORK/bare" 2>"$WORK/bare.err"
if grep -qi 'shadow' "$WORK/bare" "$WORK/bare.err"; then fail "bare volume lists shadow copies"; else pass; fi

if [ ! -f "$IMAGE" ]; then
    if [ "${CI:-}" = true ]; then fail "$IMAGE missing under CI"; exit 1; fi
    echo "SKIP: no $IMAGE"
    exit 0
fi

"$CLI" drives --disk "$IMAGE" >"$WORK/drives" 2>&1
for line in "Shadow copy 1 of drive 1, 2013-12-03 06:35 UTC" \
    "Shadow copy 2 of drive 1, 2013-12-03 06:37 UTC"; do
    if grep -qxF "$line" "$WORK/drives"; then pass; else fail "drives lacks: $line"; fi
done

"$CLI" recover --disk "$IMAGE" --drive 1 --shadow 1 --all --out "$WORK/copy1" >/dev/null 2>&1 ||
    fail "recover --shadow 1 failed"
check_md5 "$WORK/copy1/Root/syslog" 8b32710e60ce9f650b8b4dcc2b3ee927 "copy 1"
"$CLI" recover --disk "$IMAGE" --drive 1 --shadow 2 --all --out "$WORK/copy2" >/dev/null 2>&1 ||
    fail "recover --shadow 2 failed"
check_md5 "$WORK/copy2/Root/syslog.gz" 69075a6252d60c09086e2f247aa07203 "copy 2"
check_md5 "$WORK/copy2/Root/another_file" d54ff73404ed6041a3bd66850b061bff "copy 2"
"$CLI" scan --disk "$IMAGE" --drive 1 --shadow 1 >"$WORK/scan1" 2>/dev/null
if grep -q $'\tRoot/syslog\t' "$WORK/scan1"; then pass; else fail "scan of copy 1 lacks syslog"; fi

# A copy the drive does not have is refused with a reason.
if "$CLI" scan --disk "$IMAGE" --drive 1 --shadow 3 >/dev/null 2>"$WORK/no3"; then
    fail "--shadow 3 accepted"
elif grep -q "no copy 3" "$WORK/no3"; then pass; else fail "--shadow 3: $(cat "$WORK/no3")"; fi

"$CLI" recover --disk "$IMAGE" --all --all-versions --out "$WORK/all" \
    --report "$WORK/all.tsv" >"$WORK/all.out" 2>&1 || fail "recover --all-versions failed"
check_md5 "$WORK/all/Root/syslog.gz" 69075a6252d60c09086e2f247aa07203 "live"
check_md5 "$WORK/all/Root/password.txt" 39cb097008d17660abd0539891a672af "live"
check_md5 "$WORK/all/Root/syslog (shadow 2013-12-03 0635)" 8b32710e60ce9f650b8b4dcc2b3ee927 \
    "version"
# The volume's own files ($MFT, $LogFile, ...) change with every write: no version of
# them is written.
if ls "$WORK/all/Root" | grep -q '^\$.*(shadow'; then fail "a version of a system file"; else pass; fi
# Nothing but the versions is left of the copies' own folders.
if ls "$WORK/all" | grep -q '^Shadow copy'; then fail "a copy's folder is left"; else pass; fi
if awk -F'\t' -v p="$WORK/all/Root/syslog (shadow 2013-12-03 0635)" \
    '$1 == p && $11 == "shadow copy 1 (2013-12-03 06:35 UTC)"' "$WORK/all.tsv" | grep -q .; then
    pass
else
    fail "the report does not name syslog's copy"
fi
if awk -F'\t' 'NR > 1 && $11 == ""' "$WORK/all.tsv" | grep -q .; then
    fail "a report row names no source"
else
    pass
fi
if awk -F'\t' -v p="$WORK/all/Root/syslog.gz" '$1 == p && $11 == "live volume"' "$WORK/all.tsv" |
    grep -q .; then pass; else fail "the report does not name syslog.gz's source"; fi

# A chosen folder takes the versions of the files below it that the live volume no
# longer has, as a recovery of everything does.
"$CLI" recover --disk "$IMAGE" --select Root --all-versions --out "$WORK/root" >/dev/null 2>&1 ||
    fail "recover --select Root --all-versions failed"
check_md5 "$WORK/root/Root/syslog (shadow 2013-12-03 0635)" 8b32710e60ce9f650b8b4dcc2b3ee927 \
    "version of a chosen folder"
"$CLI" recover --disk "$IMAGE" --select Root/password.txt --all-versions --out "$WORK/one" \
    >/dev/null 2>&1 || fail "recover --select Root/password.txt --all-versions failed"
if ls "$WORK/one/Root" | grep -q 'shadow'; then fail "a version of a file not chosen"; else pass; fi

echo "shadow copies: $PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
