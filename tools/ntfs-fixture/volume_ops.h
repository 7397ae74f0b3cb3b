/*
 * Changes to a mounted NTFS volume made through libntfs-3g, one per script command.
 * Each returns 0, or -1 after printing the reason on stderr.
 */
#ifndef NTFS_FIXTURE_VOLUME_OPS_H
#define NTFS_FIXTURE_VOLUME_OPS_H

#include "ntfs3g_headers.h"

#include <stddef.h>
#include <stdint.h>

#include "content.h"

struct byte_range {
    uint64_t offset;
    uint64_t length;
};

int fx_mkdir(ntfs_volume* vol, const char* path);
/* depth folders called name, each in the one before, the first in the folder at path. */
int fx_chain(ntfs_volume* vol, const char* path, const char* name, uint64_t depth);
/* A new file of size bytes of content. compressed: LZNT1, the file flagged compressed
 * before its first byte is written (needs clusters of 4 KiB at most). */
int fx_write(ntfs_volume* vol, const char* path, uint64_t size, enum content_kind kind,
             uint64_t seed, int compressed);
/* Adds size bytes of random content from seed to the end of the unnamed data. */
int fx_append(ntfs_volume* vol, const char* path, uint64_t size, uint64_t seed);
/* A sparse file of size bytes: the random content of seed inside the ranges, holes
 * elsewhere. */
int fx_sparse(ntfs_volume* vol, const char* path, uint64_t size, uint64_t seed,
              const struct byte_range* ranges, size_t count);
/* A named data stream on an existing file or folder. */
int fx_stream(ntfs_volume* vol, const char* path, const char* name, uint64_t size, uint64_t seed);
/* Deletes as Windows does: the index entry goes, the clusters and the record are freed,
 * but the record keeps its attributes (names, run lists) for recovery to find. */
int fx_delete(ntfs_volume* vol, const char* path, int is_folder);

/* Prints "PATH<TAB>RECORD<TAB>MODIFIED" on stdout: the file's record number and the
 * modification time of its $STANDARD_INFORMATION (100 ns units since 1601). */
int fx_times(ntfs_volume* vol, const char* path);

#endif
