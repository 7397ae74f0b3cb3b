#include "content.h"

static uint64_t next_state(struct content_stream* s) {
    uint64_t x = s->state;
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    s->state = x;
    return x;
}

void content_start(struct content_stream* s, enum content_kind kind, uint64_t seed) {
    s->kind = kind;
    s->state = seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull;
    if (s->state == 0) s->state = 1;
    s->block_used = 8;
    s->run_left = 0;
}

static uint8_t next_random_byte(struct content_stream* s) {
    if (s->block_used == 8) {
        const uint64_t x = next_state(s);
        for (unsigned i = 0; i < 8; ++i) s->block[i] = (uint8_t)(x >> (8 * i));
        s->block_used = 0;
    }
    return s->block[s->block_used++];
}

static uint8_t next_run_byte(struct content_stream* s) {
    if (s->run_left == 0) {
        const uint64_t x = next_state(s);
        s->run_byte = (uint8_t)(x & 0xFF);
        s->run_left = 1 + (unsigned)((x >> 8) & 0xFF);
    }
    --s->run_left;
    return s->run_byte;
}

void content_fill(struct content_stream* s, uint8_t* out, size_t count) {
    for (size_t i = 0; i < count; ++i)
        out[i] = s->kind == CONTENT_RANDOM ? next_random_byte(s) : next_run_byte(s);
}

void content_skip(struct content_stream* s, uint64_t count) {
    uint8_t scratch[4096];
    while (count > 0) {
        const size_t n = count < sizeof scratch ? (size_t)count : sizeof scratch;
        content_fill(s, scratch, n);
        count -= n;
    }
}
