/*
 * Deterministic file contents for fixture images. A test regenerates the bytes of any
 * fixture file from its size and seed (ntfs-fixture --bytes / --runs / --sparse-bytes)
 * instead of keeping a copy.
 *
 * Random content: a xorshift64 generator (shifts 13, 7, 17) started from
 *   state = seed * 0x9E3779B97F4A7C15 + 0x2545F4914F6CDD1D   (1 if that is 0).
 * Each step advances the state and yields its 8 bytes, least significant first; the
 * content is the first SIZE bytes of that stream.
 *
 * Run content (compressible, for compressed files): each step of the same generator
 * yields one run of the byte (x & 0xFF) repeated 1 + ((x >> 8) & 0xFF) times.
 */
#ifndef NTFS_FIXTURE_CONTENT_H
#define NTFS_FIXTURE_CONTENT_H

#include <stddef.h>
#include <stdint.h>

enum content_kind { CONTENT_RANDOM, CONTENT_RUNS };

struct content_stream {
    enum content_kind kind;
    uint64_t state;
    uint8_t block[8];
    unsigned block_used; /* bytes of block already handed out */
    uint8_t run_byte;
    unsigned run_left;
};

void content_start(struct content_stream* s, enum content_kind kind, uint64_t seed);
void content_fill(struct content_stream* s, uint8_t* out, size_t count);
void content_skip(struct content_stream* s, uint64_t count);

#endif
