# Sourced by the end-to-end scripts that check every real volume of the shared test data.
# for_each_real_image WORKDIR CHECK: unpacks each image into WORKDIR, runs
# CHECK NAME PATH OFFSET (OFFSET: the sector where its NTFS volume begins) and removes
# it again. Without the shared folder each image is skipped with a message; under
# CI=true, where the folder is always there, its absence counts in the caller's `failed`.
REAL_IMAGES=(dftt-7-undel-ntfs.dd dftt-8-jpeg-search.dd win10-compressed-attrlist.dd
  mkntfs-512-subdirs.dd ntfs3-attribute-list.raw mbr-unicode-names.dd)

for_each_real_image() {
  local work=$1 check=$2 name offset
  for name in "${REAL_IMAGES[@]}"; do
    if [ ! -f "$TARVIK_SHARED_DIR/testdata/$name.xz" ]; then
      if [ "${CI:-}" = true ]; then echo "FAIL $name: missing under CI"; failed=$((failed + 1)); fi
      echo "skip $name: no $TARVIK_SHARED_DIR/testdata"
      continue
    fi
    xz -dc "$TARVIK_SHARED_DIR/testdata/$name.xz" >"$work/$name"
    offset=0
    [ "$name" = mbr-unicode-names.dd ] && offset=63
    "$check" "$name" "$work/$name" "$offset"
    rm -f "$work/$name"
  done
}
