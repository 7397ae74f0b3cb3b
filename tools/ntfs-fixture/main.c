/*
 * ntfs-fixture: fills an NTFS volume image (made by mkntfs) from a script of line
 * commands through libntfs-3g, without a FUSE mount, so that tests get images written
 * by real NTFS code.
 *
 *   ntfs-fixture IMAGE SCRIPT        SCRIPT is a file, or '-' for stdin
 *   ntfs-fixture --bytes SIZE SEED   the random content of a file, on stdout
 *   ntfs-fixture --runs SIZE SEED    the run content of a compressed file, on stdout
 *   ntfs-fixture --sparse-bytes SIZE SEED OFFSET LEN [OFFSET LEN ...]
 *                                    the content of a sparse file, on stdout
 *   ntfs-fixture --bytes-list        for each "SIZE SEED" line on stdin, that random
 *                                    content, back to back on stdout
 *
 * Script commands, one a line; '#' starts a comment; words are separated by blanks and
 * a word with blanks is written in double quotes. Paths are absolute, '/'-separated,
 * UTF-8.
 *   mkdir PATH
 *   chain PATH NAME DEPTH                     DEPTH folders NAME, each in the one before
 *   write PATH SIZE SEED                      random content (see content.h)
 *   append PATH SIZE SEED                     more random content at the end
 *   sparse PATH SIZE SEED OFFSET LEN [...]    holes but for the given ranges
 *   compressed PATH SIZE SEED                 LZNT1-compressed, run content
 *   stream PATH NAME SIZE SEED                a named data stream, random content
 *   delete PATH                               a file, as Windows deletes it
 *   rmdir PATH                                an empty folder, likewise
 *   times PATH                                prints PATH, record number and the
 *                                             modification time (100 ns since 1601)
 * Deleting frees clusters and records that later commands may reuse: delete last.
 */
#include <ctype.h>
#include <inttypes.h>

#include "content.h"
#include "volume_ops.h"

#define MAX_WORDS 64
#define MAX_LINE 4096

struct script_line {
    char* words[MAX_WORDS];
    int count;
};

/* Splits line in place; false when a quote is left open or there are too many words. */
static int split_words(char* line, struct script_line* out) {
    out->count = 0;
    char* p = line;
    for (;;) {
        while (*p && isspace((unsigned char)*p)) ++p;
        if (!*p || *p == '#') return 1;
        if (out->count == MAX_WORDS) return 0;
        if (*p == '"') {
            out->words[out->count++] = ++p;
            char* close = strchr(p, '"');
            if (!close) return 0;
            *close = '\0';
            p = close + 1;
        } else {
            out->words[out->count++] = p;
            while (*p && !isspace((unsigned char)*p)) ++p;
            if (*p) *p++ = '\0';
        }
    }
}

static int parse_number(const char* text, uint64_t* value) {
    char* end = NULL;
    if (!isdigit((unsigned char)text[0])) return 0;
    errno = 0;
    *value = strtoull(text, &end, 0);
    return errno == 0 && *end == '\0';
}

/* Reads count numbers from words into values; false on the first word that is not one. */
static int parse_numbers(char* const* words, int count, uint64_t* values) {
    for (int i = 0; i < count; ++i)
        if (!parse_number(words[i], &values[i])) return 0;
    return 1;
}

static int parse_ranges(char* const* words, int count, struct byte_range* ranges) {
    if (count <= 0 || count % 2 != 0) return 0;
    for (int i = 0; i < count; i += 2)
        if (!parse_number(words[i], &ranges[i / 2].offset) ||
            !parse_number(words[i + 1], &ranges[i / 2].length))
            return 0;
    return 1;
}

static int run_command(ntfs_volume* vol, const struct script_line* line) {
    const char* cmd = line->words[0];
    char* const* w = line->words;
    const int n = line->count;
    uint64_t v[3];
    if (!strcmp(cmd, "mkdir") && n == 2) return fx_mkdir(vol, w[1]);
    if (!strcmp(cmd, "chain") && n == 4 && parse_numbers(line->words + 3, 1, v))
        return fx_chain(vol, w[1], w[2], v[0]);
    if (!strcmp(cmd, "delete") && n == 2) return fx_delete(vol, w[1], 0);
    if (!strcmp(cmd, "rmdir") && n == 2) return fx_delete(vol, w[1], 1);
    if (!strcmp(cmd, "times") && n == 2) return fx_times(vol, w[1]);
    if (!strcmp(cmd, "write") && n == 4 && parse_numbers(line->words + 2, 2, v))
        return fx_write(vol, w[1], v[0], CONTENT_RANDOM, v[1], 0);
    if (!strcmp(cmd, "compressed") && n == 4 && parse_numbers(line->words + 2, 2, v))
        return fx_write(vol, w[1], v[0], CONTENT_RUNS, v[1], 1);
    if (!strcmp(cmd, "append") && n == 4 && parse_numbers(line->words + 2, 2, v))
        return fx_append(vol, w[1], v[0], v[1]);
    if (!strcmp(cmd, "stream") && n == 5 && parse_numbers(line->words + 3, 2, v))
        return fx_stream(vol, w[1], w[2], v[0], v[1]);
    if (!strcmp(cmd, "sparse") && n >= 6 && parse_numbers(line->words + 2, 2, v)) {
        struct byte_range ranges[MAX_WORDS / 2];
        if (parse_ranges(line->words + 4, n - 4, ranges))
            return fx_sparse(vol, w[1], v[0], v[1], ranges, (size_t)(n - 4) / 2);
    }
    return -2;
}

static int run_script(ntfs_volume* vol, FILE* script) {
    char text[MAX_LINE];
    unsigned number = 0;
    while (fgets(text, sizeof text, script)) {
        ++number;
        struct script_line line;
        if (!split_words(text, &line)) {
            fprintf(stderr, "ntfs-fixture: line %u: unbalanced quote or too many words\n", number);
            return -1;
        }
        if (line.count == 0) continue;
        const int result = run_command(vol, &line);
        if (result == -2)
            fprintf(stderr, "ntfs-fixture: line %u: unknown command or bad arguments: %s\n", number,
                    line.words[0]);
        if (result != 0) {
            fprintf(stderr, "ntfs-fixture: script stopped at line %u\n", number);
            return -1;
        }
    }
    return 0;
}

static int fill_image(const char* image, const char* script_path) {
    FILE* script = strcmp(script_path, "-") ? fopen(script_path, "r") : stdin;
    if (!script) {
        fprintf(stderr, "ntfs-fixture: %s: %s\n", script_path, strerror(errno));
        return 1;
    }
    ntfs_volume* vol = ntfs_mount(image, NTFS_MNT_NONE);
    if (!vol) {
        fprintf(stderr, "ntfs-fixture: cannot mount %s: %s\n", image, strerror(errno));
        if (script != stdin) fclose(script);
        return 1;
    }
    const int result = run_script(vol, script);
    if (script != stdin) fclose(script);
    if (ntfs_umount(vol, FALSE)) {
        fprintf(stderr, "ntfs-fixture: unmounting %s failed: %s\n", image, strerror(errno));
        return 1;
    }
    return result == 0 ? 0 : 1;
}

/* Prints the content of a sparse file: zeros outside the ranges. */
static int print_sparse(uint64_t size, uint64_t seed, const struct byte_range* ranges,
                        size_t count) {
    struct content_stream stream;
    content_start(&stream, CONTENT_RANDOM, seed);
    size_t next = 0;
    for (uint64_t pos = 0; pos < size; ++pos) {
        uint8_t byte = 0;
        content_fill(&stream, &byte, 1);
        while (next < count && pos >= ranges[next].offset + ranges[next].length) ++next;
        const int inside = next < count && pos >= ranges[next].offset;
        putchar(inside ? byte : 0);
    }
    return fflush(stdout) == 0 ? 0 : 1;
}

static int print_content(enum content_kind kind, uint64_t size, uint64_t seed) {
    struct content_stream stream;
    content_start(&stream, kind, seed);
    uint8_t buffer[65536];
    while (size > 0) {
        const size_t chunk = size < sizeof buffer ? (size_t)size : sizeof buffer;
        content_fill(&stream, buffer, chunk);
        if (fwrite(buffer, 1, chunk, stdout) != chunk) return 1;
        size -= chunk;
    }
    return fflush(stdout) == 0 ? 0 : 1;
}

/* Many files' contents in one run: hashing thousands of files needs no process each. */
static int print_content_list(void) {
    char line[128];
    while (fgets(line, sizeof line, stdin)) {
        unsigned long long size = 0, seed = 0;
        if (sscanf(line, "%llu %llu", &size, &seed) != 2) return 2;
        if (print_content(CONTENT_RANDOM, size, seed) != 0) return 1;
    }
    return 0;
}

static int usage(void) {
    fputs(
        "usage: ntfs-fixture IMAGE SCRIPT|-\n"
        "       ntfs-fixture --bytes SIZE SEED\n"
        "       ntfs-fixture --runs SIZE SEED\n"
        "       ntfs-fixture --sparse-bytes SIZE SEED OFFSET LEN [OFFSET LEN ...]\n"
        "       ntfs-fixture --bytes-list < SIZE-SEED-LINES\n",
        stderr);
    return 2;
}

int main(int argc, char** argv) {
    uint64_t v[2];
    if (argc == 4 && !strcmp(argv[1], "--bytes") && parse_numbers(argv + 2, 2, v))
        return print_content(CONTENT_RANDOM, v[0], v[1]);
    if (argc == 2 && !strcmp(argv[1], "--bytes-list")) return print_content_list();
    if (argc == 4 && !strcmp(argv[1], "--runs") && parse_numbers(argv + 2, 2, v))
        return print_content(CONTENT_RUNS, v[0], v[1]);
    if (argc >= 6 && argc <= 4 + MAX_WORDS && !strcmp(argv[1], "--sparse-bytes") &&
        parse_numbers(argv + 2, 2, v)) {
        struct byte_range ranges[MAX_WORDS / 2];
        if (!parse_ranges(argv + 4, argc - 4, ranges)) return usage();
        return print_sparse(v[0], v[1], ranges, (size_t)(argc - 4) / 2);
    }
    if (argc == 3 && argv[1][0] != '-') {
        ntfs_log_set_handler(ntfs_log_handler_stderr);
        return fill_image(argv[1], argv[2]);
    }
    return usage();
}
