/* The engine's runtime library: device and file I/O. photo.exe imports it
 * (cygwin1.dll on Windows); the native build links a POSIX version. A plain C
 * interface, so the library and the program share no C++ objects. */
#pragma once
#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && defined(QVRT_BUILDING)
#define QVRT_API __declspec(dllexport)
#elif defined(_WIN32)
#define QVRT_API __declspec(dllimport)
#else
#define QVRT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct QvDevice QvDevice;
typedef struct QvOutput QvOutput;

/* Opens an engine device name for reading only: first the device table in
 * the runtime folder (63/cygwin/devices), then an existing file of that name
 * (a disk image), then "/dev/sdX" as the raw disk. NULL if none opens. */
QVRT_API QvDevice* qvrt_open_device(const char* name);
QVRT_API uint64_t qvrt_device_size(const QvDevice* dev);
/* Reads n bytes at offset: 0 when all of them were read, -1 when any part
 * could not be read or the read took too long (buf then holds anything).
 * Safe to call from two threads at once. */
QVRT_API int qvrt_read(QvDevice* dev, uint64_t offset, void* buf, size_t n);
/* As qvrt_read, but returns how many bytes from offset on were read before
 * a failure (n when all of them): a failing disk often delivers everything
 * up to its first bad sector. */
QVRT_API size_t qvrt_read_some(QvDevice* dev, uint64_t offset, void* buf, size_t n);
/* A read not back after ms milliseconds is cancelled where the system can
 * (on Windows CancelIoEx; 9000 unless set). The caller gives up waiting on
 * its own as well, for a device that ignores cancelling. */
QVRT_API void qvrt_set_cancel_after(QvDevice* dev, unsigned ms);
/* What became of the reads that took longer than that: asked (still
 * pending, cancelling was asked for), cancelled (the system ended them when
 * asked), ignored (asked, but they came back only when the device
 * answered), late (they were never pending: the system read synchronously
 * however long it took, so there was nothing to cancel). A read that has
 * not come back yet is counted in asked only. */
typedef struct QvSlowReads {
  uint64_t asked, cancelled, ignored, late;
} QvSlowReads;
QVRT_API void qvrt_slow_reads(const QvDevice* dev, QvSlowReads* out);
QVRT_API void qvrt_close_device(QvDevice* dev);

/* Creates a folder and any missing parents; 0 on success. */
QVRT_API int qvrt_make_dirs(const char* path);

/* An output file written under a temporary name in dir and renamed to name
 * only once whole. NULL if it cannot be created. */
QVRT_API QvOutput* qvrt_output_begin(const char* dir, const char* part_name, const char* name);
QVRT_API int qvrt_output_write(QvOutput* out, const void* data, size_t n);
/* The modification time the file gets when it is kept: 100 ns ticks since
 * 1601-01-01 in UTC, or in the local wall-clock time when local != 0. */
QVRT_API void qvrt_output_set_time(QvOutput* out, int64_t ticks, int local);
/* keep != 0: close and rename; else close and delete. 0 on success. */
QVRT_API int qvrt_output_end(QvOutput* out, int keep);

/* Replaces the file at path with n bytes at once: they are written to
 * path + ".tmp", which is then renamed over path, so a reader sees the old
 * file or the new one, never a part. On Windows the file is hidden. 0 on
 * success. */
QVRT_API int qvrt_replace_file(const char* path, const void* data, size_t n);

/* A file that lines are added to at its end while others read it: created
 * empty (an old one is truncated), shared for reading, writing and deletion;
 * hidden on Windows. NULL if it cannot be created. */
typedef struct QvAppendFile QvAppendFile;
QVRT_API QvAppendFile* qvrt_append_create(const char* path);
/* Adds n bytes at the end in one write, handed to the system at once (no
 * buffering of our own), so another process sees them as soon as this
 * returns. 0 on success. */
QVRT_API int qvrt_append(QvAppendFile* f, const void* data, size_t n);
QVRT_API void qvrt_append_close(QvAppendFile* f);

/* A copy of the disk: created, never over a file that is there (it may be
 * the disk image being read), and sized to size bytes, which read as zeros
 * until written; shared for reading. NULL if it is there already or cannot
 * be created or sized (no room). */
typedef struct QvImageFile QvImageFile;
QVRT_API QvImageFile* qvrt_image_create(const char* path, uint64_t size);
/* n bytes at offset, handed to the system at once; 0 on success. */
QVRT_API int qvrt_image_write(QvImageFile* f, uint64_t offset, const void* data, size_t n);
QVRT_API void qvrt_image_close(QvImageFile* f);

/* As qvrt_replace_file, but the file is an ordinary, visible one. */
QVRT_API int qvrt_save_file(const char* path, const void* data, size_t n);
/* Reads up to cap bytes of the file at path into buf; returns the file's
 * whole size, or -1 if it cannot be read. */
QVRT_API long long qvrt_read_file(const char* path, void* buf, size_t cap);

#ifdef __cplusplus
}
#endif
