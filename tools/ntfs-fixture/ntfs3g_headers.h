/* The libntfs-3g headers expect the feature macros of the library's own config.h. */
#ifndef NTFS_FIXTURE_NTFS3G_HEADERS_H
#define NTFS_FIXTURE_NTFS3G_HEADERS_H

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <ntfs-3g/types.h>

#include <ntfs-3g/attrib.h>
#include <ntfs-3g/dir.h>
#include <ntfs-3g/inode.h>
#include <ntfs-3g/layout.h>
#include <ntfs-3g/logging.h>
#include <ntfs-3g/mft.h>
#include <ntfs-3g/unistr.h>
#include <ntfs-3g/volume.h>

#endif
