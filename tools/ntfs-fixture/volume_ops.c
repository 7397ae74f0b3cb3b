#include "volume_ops.h"

#define CHUNK_SIZE (1u << 20) /* a multiple of every compression block (16 clusters) */
#define MAX_COMPRESSED_CLUSTER 4096u

static int fail(const char* path, const char* what) {
    fprintf(stderr, "ntfs-fixture: %s: %s\n", path, what);
    return -1;
}

static int fail_errno(const char* path, const char* what) {
    fprintf(stderr, "ntfs-fixture: %s: %s: %s\n", path, what, strerror(errno));
    return -1;
}

/* The folder that holds path's last component, and that component in UTF-16. */
struct parent_ref {
    ntfs_inode* dir;
    ntfschar* leaf;
    int leaf_len;
};

static void release_parent(struct parent_ref* p) {
    if (p->dir) ntfs_inode_close(p->dir);
    free(p->leaf);
    p->dir = NULL;
    p->leaf = NULL;
}

static int open_parent(ntfs_volume* vol, const char* path, struct parent_ref* p) {
    p->dir = NULL;
    p->leaf = NULL;
    const char* slash = strrchr(path, '/');
    if (path[0] != '/' || !slash || slash[1] == '\0')
        return fail(path, "not an absolute file path");
    char* folder = strndup(path, slash == path ? 1 : (size_t)(slash - path));
    if (!folder) return fail(path, "out of memory");
    p->dir = ntfs_pathname_to_inode(vol, NULL, folder);
    free(folder);
    if (!p->dir) return fail_errno(path, "parent folder not found");
    if (!(p->dir->mrec->flags & MFT_RECORD_IS_DIRECTORY)) {
        release_parent(p);
        return fail(path, "parent is not a folder");
    }
    p->leaf_len = ntfs_mbstoucs(slash + 1, &p->leaf);
    if (p->leaf_len <= 0 || p->leaf_len > 255) {
        release_parent(p);
        return fail(path, "name cannot be converted to UTF-16");
    }
    return 0;
}

static int exists_in(const struct parent_ref* p) {
    return ntfs_inode_lookup_by_name(p->dir, p->leaf, p->leaf_len) != (u64)-1;
}

static ntfs_inode* open_path(ntfs_volume* vol, const char* path) {
    ntfs_inode* ni = ntfs_pathname_to_inode(vol, NULL, path);
    if (!ni) fail_errno(path, "not found");
    return ni;
}

/* Writes size bytes of the stream at pos, in chunks of CHUNK_SIZE. */
static int write_content(ntfs_attr* na, const char* path, s64 pos, uint64_t size,
                         struct content_stream* stream) {
    uint8_t* buffer = malloc(CHUNK_SIZE);
    if (!buffer) return fail(path, "out of memory");
    int result = 0;
    while (size > 0 && result == 0) {
        const size_t chunk = size < CHUNK_SIZE ? (size_t)size : CHUNK_SIZE;
        content_fill(stream, buffer, chunk);
        size_t done = 0;
        while (done < chunk) {
            const s64 written = ntfs_attr_pwrite(na, pos, (s64)(chunk - done), buffer + done);
            if (written <= 0) {
                result = fail_errno(path, "write failed");
                break;
            }
            done += (size_t)written;
            pos += written;
        }
        size -= chunk;
    }
    free(buffer);
    return result;
}

/* Creates path (a file or folder) and hands back the new inode with its folder. */
static ntfs_inode* create_at(ntfs_volume* vol, const char* path, mode_t type,
                             struct parent_ref* p) {
    if (open_parent(vol, path, p)) return NULL;
    if (exists_in(p)) {
        fail(path, "already exists");
        release_parent(p);
        return NULL;
    }
    ntfs_inode* ni = ntfs_create(p->dir, const_cpu_to_le32(0), p->leaf, (u8)p->leaf_len, type);
    if (!ni) {
        fail_errno(path, "create failed");
        release_parent(p);
    }
    return ni;
}

static int close_created(ntfs_inode* ni, struct parent_ref* p, const char* path) {
    int result = 0;
    if (ntfs_inode_close_in_dir(ni, p->dir)) result = fail_errno(path, "close failed");
    release_parent(p);
    return result;
}

int fx_mkdir(ntfs_volume* vol, const char* path) {
    struct parent_ref p;
    ntfs_inode* ni = create_at(vol, path, S_IFDIR, &p);
    if (!ni) return -1;
    return close_created(ni, &p, path);
}

/* Each new folder is opened by its record number for the next one: a chain thousands
 * deep costs one step per folder, not a walk from the root. */
int fx_chain(ntfs_volume* vol, const char* path, const char* name, uint64_t depth) {
    ntfs_inode* dir = ntfs_pathname_to_inode(vol, NULL, path);
    if (!dir) return fail_errno(path, "folder not found");
    ntfschar* leaf = NULL;
    const int leaf_len = ntfs_mbstoucs(name, &leaf);
    int result = 0;
    if (leaf_len <= 0 || leaf_len > 255) result = fail(name, "name cannot be converted to UTF-16");
    for (uint64_t level = 0; level < depth && result == 0; ++level) {
        ntfs_inode* ni = ntfs_create(dir, const_cpu_to_le32(0), leaf, (u8)leaf_len, S_IFDIR);
        if (!ni) {
            result = fail_errno(name, "create failed");
            break;
        }
        const u64 number = ni->mft_no;
        if (ntfs_inode_close_in_dir(ni, dir)) result = fail_errno(name, "close failed");
        if (ntfs_inode_close(dir)) result = fail_errno(name, "close failed");
        dir = ntfs_inode_open(vol, number);
        if (!dir) return fail_errno(name, "cannot open the new folder");
    }
    if (dir && ntfs_inode_close(dir) && result == 0) result = fail_errno(name, "close failed");
    free(leaf);
    return result;
}

int fx_write(ntfs_volume* vol, const char* path, uint64_t size, enum content_kind kind,
             uint64_t seed, int compressed) {
    if (compressed && vol->cluster_size > MAX_COMPRESSED_CLUSTER)
        return fail(path, "compression needs clusters of 4 KiB at most");
    struct parent_ref p;
    ntfs_inode* ni = create_at(vol, path, S_IFREG, &p);
    if (!ni) return -1;
    if (compressed) {
        /* The data stream takes the compressed state of its file when it is opened empty. */
        NVolSetCompression(vol);
        ni->flags |= FILE_ATTR_COMPRESSED;
        ntfs_inode_mark_dirty(ni);
    }
    int result = 0;
    ntfs_attr* na = ntfs_attr_open(ni, AT_DATA, AT_UNNAMED, 0);
    if (!na) {
        result = fail_errno(path, "cannot open data");
    } else {
        struct content_stream stream;
        content_start(&stream, kind, seed);
        result = write_content(na, path, 0, size, &stream);
        if (result == 0 && compressed && ntfs_attr_pclose(na))
            result = fail_errno(path, "compressing the last block failed");
        ntfs_attr_close(na);
    }
    if (close_created(ni, &p, path)) result = -1;
    return result;
}

int fx_append(ntfs_volume* vol, const char* path, uint64_t size, uint64_t seed) {
    ntfs_inode* ni = open_path(vol, path);
    if (!ni) return -1;
    int result = 0;
    ntfs_attr* na = ntfs_attr_open(ni, AT_DATA, AT_UNNAMED, 0);
    if (!na) {
        result = fail_errno(path, "cannot open data");
    } else {
        struct content_stream stream;
        content_start(&stream, CONTENT_RANDOM, seed);
        result = write_content(na, path, na->data_size, size, &stream);
        ntfs_attr_close(na);
    }
    if (ntfs_inode_close(ni)) result = fail_errno(path, "close failed");
    return result;
}

static int check_ranges(const char* path, uint64_t size, const struct byte_range* ranges,
                        size_t count) {
    uint64_t end = 0;
    for (size_t i = 0; i < count; ++i) {
        if (ranges[i].offset < end || ranges[i].length == 0 ||
            ranges[i].length > size - ranges[i].offset || ranges[i].offset > size)
            return fail(path, "sparse ranges must be in order, non-empty, inside the file");
        end = ranges[i].offset + ranges[i].length;
    }
    return 0;
}

int fx_sparse(ntfs_volume* vol, const char* path, uint64_t size, uint64_t seed,
              const struct byte_range* ranges, size_t count) {
    if (check_ranges(path, size, ranges, count)) return -1;
    struct parent_ref p;
    ntfs_inode* ni = create_at(vol, path, S_IFREG, &p);
    if (!ni) return -1;
    int result = 0;
    ntfs_attr* na = ntfs_attr_open(ni, AT_DATA, AT_UNNAMED, 0);
    if (!na) {
        result = fail_errno(path, "cannot open data");
    } else {
        /* Growing the size first leaves the whole file a hole; the writes then fill in
         * only the clusters they touch. */
        if (ntfs_attr_truncate(na, (s64)size)) result = fail_errno(path, "cannot set size");
        struct content_stream stream;
        content_start(&stream, CONTENT_RANDOM, seed);
        uint64_t position = 0;
        for (size_t i = 0; i < count && result == 0; ++i) {
            content_skip(&stream, ranges[i].offset - position);
            result = write_content(na, path, (s64)ranges[i].offset, ranges[i].length, &stream);
            position = ranges[i].offset + ranges[i].length;
        }
        ntfs_attr_close(na);
    }
    if (close_created(ni, &p, path)) result = -1;
    return result;
}

int fx_stream(ntfs_volume* vol, const char* path, const char* name, uint64_t size, uint64_t seed) {
    ntfschar* uname = NULL;
    const int uname_len = ntfs_mbstoucs(name, &uname);
    if (uname_len <= 0 || uname_len > 255) return fail(path, "bad stream name");
    ntfs_inode* ni = open_path(vol, path);
    int result = ni ? 0 : -1;
    if (ni && ntfs_attr_add(ni, AT_DATA, uname, (u8)uname_len, NULL, 0))
        result = fail_errno(path, "cannot add the named stream");
    if (result == 0) {
        ntfs_attr* na = ntfs_attr_open(ni, AT_DATA, uname, (u32)uname_len);
        if (!na) {
            result = fail_errno(path, "cannot open the named stream");
        } else {
            struct content_stream stream;
            content_start(&stream, CONTENT_RANDOM, seed);
            result = write_content(na, path, 0, size, &stream);
            ntfs_attr_close(na);
        }
    }
    if (ni && ntfs_inode_close(ni)) result = fail_errno(path, "close failed");
    free(uname);
    return result;
}

/* ntfs_delete strips the file name attribute from the record before freeing it; Windows
 * leaves the record whole. Writing the record back as it stood, with the new sequence
 * number and the in-use flag cleared, gives what a deleted file looks like on Windows. */
static int restore_freed_record(ntfs_volume* vol, const char* path, u64 mft_no,
                                MFT_RECORD* before) {
    MFT_RECORD* after = NULL;
    if (ntfs_file_record_read(vol, mft_no, &after, NULL))
        return fail_errno(path, "cannot read the freed record");
    before->sequence_number = after->sequence_number;
    before->flags = after->flags;
    free(after);
    if (ntfs_mft_record_write(vol, mft_no, before))
        return fail_errno(path, "cannot write the freed record");
    return 0;
}

/* The records of a file as they stood before its deletion: the base record and the
 * extension records its attribute list names. */
struct saved_records {
    int count;
    u64* numbers;
    MFT_RECORD** records;
};

static void free_saved(struct saved_records* saved) {
    for (int i = 0; i < saved->count; ++i) free(saved->records[i]);
    free(saved->records);
    free(saved->numbers);
}

static int save_record(struct saved_records* saved, ntfs_volume* vol, const ntfs_inode* ni) {
    MFT_RECORD* copy = malloc(vol->mft_record_size);
    if (!copy) return -1;
    memcpy(copy, ni->mrec, vol->mft_record_size);
    saved->numbers[saved->count] = ni->mft_no;
    saved->records[saved->count] = copy;
    ++saved->count;
    return 0;
}

static int save_records(struct saved_records* saved, ntfs_volume* vol, ntfs_inode* ni) {
    saved->count = 0;
    saved->numbers = NULL;
    saved->records = NULL;
    if (ntfs_inode_attach_all_extents(ni)) return -1;
    const int total = 1 + (ni->nr_extents > 0 ? ni->nr_extents : 0);
    saved->numbers = calloc((size_t)total, sizeof *saved->numbers);
    saved->records = calloc((size_t)total, sizeof *saved->records);
    if (!saved->numbers || !saved->records || save_record(saved, vol, ni)) return -1;
    for (int i = 0; i + 1 < total; ++i)
        if (save_record(saved, vol, ni->extent_nis[i])) return -1;
    return 0;
}

int fx_delete(ntfs_volume* vol, const char* path, int is_folder) {
    /* Opened by path so that the library's path cache holds the entry it drops, and
     * before the folder: opening an inode that is already open gives a second copy,
     * and the stale one would later be written back over the changed one. */
    ntfs_inode* ni = open_path(vol, path);
    if (!ni) return -1;
    struct parent_ref p;
    if (open_parent(vol, path, &p)) {
        ntfs_inode_close(ni);
        return -1;
    }
    const int found_folder = (ni->mrec->flags & MFT_RECORD_IS_DIRECTORY) != 0;
    if (found_folder != is_folder || (is_folder && ntfs_check_empty_dir(ni))) {
        ntfs_inode_close(ni);
        release_parent(&p);
        return fail(path, is_folder ? "not an empty folder" : "not a file");
    }
    struct saved_records saved;
    if (save_records(&saved, vol, ni)) {
        free_saved(&saved);
        ntfs_inode_close(ni);
        release_parent(&p);
        return fail(path, "cannot keep the records");
    }
    /* ntfs_delete closes both inodes whatever happens. */
    int result = ntfs_delete(vol, path, ni, p.dir, p.leaf, (u8)p.leaf_len);
    p.dir = NULL;
    if (result) result = fail_errno(path, "delete failed");
    for (int i = 0; result == 0 && i < saved.count; ++i)
        result = restore_freed_record(vol, path, saved.numbers[i], saved.records[i]);
    free_saved(&saved);
    release_parent(&p);
    return result;
}

int fx_times(ntfs_volume* vol, const char* path) {
    ntfs_inode* ni = open_path(vol, path);
    if (!ni) return -1;
    printf("%s\t%llu\t%llu\n", path, (unsigned long long)ni->mft_no,
           (unsigned long long)sle64_to_cpu(ni->last_data_change_time));
    ntfs_inode_close(ni);
    return 0;
}
