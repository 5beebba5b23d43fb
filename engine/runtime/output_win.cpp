// Output files on Windows: written under a temporary name, then renamed, so
// a file with a picture extension is always whole and closed.
#include <windows.h>

#include <string>

#include "../core/retry.h"
#include "qvrt.h"

struct QvOutput {
  HANDLE handle;
  std::string partPath;
  std::string finalPath;
  int64_t ticks = 0;
  bool local = false;
};

namespace {
std::string join(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir.back() == '\\' || dir.back() == '/') return dir + name;
  return dir + "\\" + name;
}

// Another process holding either name (a virus scanner, the window checking
// whether the previous file is ready) lets go within moments.
bool renamePatiently(const std::string& from, const std::string& to) {
  return qv::retryWhileBusy(
      [&] {
        if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return qv::Attempt::Done;
        DWORD e = GetLastError();
        return e == ERROR_SHARING_VIOLATION || e == ERROR_ACCESS_DENIED || e == ERROR_LOCK_VIOLATION
                   ? qv::Attempt::Busy
                   : qv::Attempt::Failed;
      },
      [](unsigned ms) { Sleep(ms); }, qv::kRenamePlan);
}
}  // namespace

extern "C" int qvrt_make_dirs(const char* path) {
  std::string p = path ? path : "";
  while (!p.empty() && (p.back() == '\\' || p.back() == '/')) p.pop_back();
  if (p.empty()) return -1;
  DWORD a = GetFileAttributesA(p.c_str());
  if (a != INVALID_FILE_ATTRIBUTES) return (a & FILE_ATTRIBUTE_DIRECTORY) ? 0 : -1;
  size_t slash = p.find_last_of("\\/");
  if (slash != std::string::npos && slash > 0 && p[slash - 1] != ':') {
    if (qvrt_make_dirs(p.substr(0, slash).c_str()) != 0) return -1;
  }
  if (CreateDirectoryA(p.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  return -1;
}

extern "C" QvOutput* qvrt_output_begin(const char* dir, const char* part_name, const char* name) {
  auto* out = new QvOutput{INVALID_HANDLE_VALUE, join(dir, part_name), join(dir, name)};
  out->handle = CreateFileA(out->partPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out->handle == INVALID_HANDLE_VALUE) {
    delete out;
    return nullptr;
  }
  return out;
}

extern "C" int qvrt_output_write(QvOutput* out, const void* data, size_t n) {
  auto* p = static_cast<const char*>(data);
  while (n) {
    DWORD k = n < (1u << 30) ? static_cast<DWORD>(n) : (1u << 30);
    DWORD wrote = 0;
    if (!WriteFile(out->handle, p, k, &wrote, nullptr) || wrote != k) return -1;
    p += k;
    n -= k;
  }
  return 0;
}

extern "C" void qvrt_output_set_time(QvOutput* out, int64_t ticks, int local) {
  out->ticks = ticks;
  out->local = local != 0;
}

namespace {
// The file's last-write time; a local wall-clock time through the zone's
// rules for that date, daylight saving included.
void setWriteTime(HANDLE h, int64_t ticks, bool local) {
  FILETIME ft;
  ft.dwLowDateTime = DWORD(uint64_t(ticks));
  ft.dwHighDateTime = DWORD(uint64_t(ticks) >> 32);
  if (local) {
    SYSTEMTIME wall, utc;
    if (!FileTimeToSystemTime(&ft, &wall) || !TzSpecificLocalTimeToSystemTime(nullptr, &wall, &utc) ||
        !SystemTimeToFileTime(&utc, &ft))
      return;
  }
  SetFileTime(h, nullptr, nullptr, &ft);
}
}  // namespace

extern "C" int qvrt_output_end(QvOutput* out, int keep) {
  if (keep && out->ticks) setWriteTime(out->handle, out->ticks, out->local);
  bool ok = CloseHandle(out->handle) != 0;
  if (keep && ok) ok = renamePatiently(out->partPath, out->finalPath);
  if (!keep || !ok) DeleteFileA(out->partPath.c_str());
  delete out;
  return ok && keep ? 0 : -1;
}

struct QvAppendFile {
  HANDLE handle;
};

extern "C" QvAppendFile* qvrt_append_create(const char* path) {
  HANDLE h = INVALID_HANDLE_VALUE;
  // The window may hold the old file for a moment without sharing it.
  qv::retryWhileBusy(
      [&] {
        h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (h != INVALID_HANDLE_VALUE) return qv::Attempt::Done;
        return GetLastError() == ERROR_SHARING_VIOLATION ? qv::Attempt::Busy : qv::Attempt::Failed;
      },
      [](unsigned ms) { Sleep(ms); }, qv::kRenamePlan);
  return h == INVALID_HANDLE_VALUE ? nullptr : new QvAppendFile{h};
}

extern "C" int qvrt_append(QvAppendFile* f, const void* data, size_t n) {
  // Alone in writing it, so the file position is its end. WriteFile puts
  // the bytes in the system's cache, which every reader sees.
  DWORD wrote = 0;
  if (n > (1u << 30)) return -1;
  return WriteFile(f->handle, data, static_cast<DWORD>(n), &wrote, nullptr) && wrote == n ? 0 : -1;
}

extern "C" void qvrt_append_close(QvAppendFile* f) {
  if (!f) return;
  CloseHandle(f->handle);
  delete f;
}

namespace {

// Writes the bytes beside path and then moves them over it, so a reader sees
// the old file or the new one whole. The move fails while a reader holds the
// file without sharing its deletion; the caller writes again later.
int WriteThenReplace(const char* path, const void* data, size_t n, DWORD attributes) {
  if (n > (1u << 30)) return -1;
  const std::string tmp = std::string(path) + ".tmp";
  HANDLE h = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  DWORD wrote = 0;
  bool ok = WriteFile(h, data, static_cast<DWORD>(n), &wrote, nullptr) && wrote == n;
  ok = CloseHandle(h) && ok;
  ok = ok && MoveFileExA(tmp.c_str(), path, MOVEFILE_REPLACE_EXISTING);
  if (!ok) DeleteFileA(tmp.c_str());
  return ok ? 0 : -1;
}

}  // namespace

extern "C" int qvrt_replace_file(const char* path, const void* data, size_t n) {
  return WriteThenReplace(path, data, n, FILE_ATTRIBUTE_HIDDEN);
}

struct QvImageFile {
  HANDLE handle;
};

extern "C" QvImageFile* qvrt_image_create(const char* path, uint64_t size) {
  // Never over a file that is there: it may be the very disk image searched.
  HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(h, end, nullptr, FILE_BEGIN) || !SetEndOfFile(h)) {
    CloseHandle(h);
    DeleteFileA(path);
    return nullptr;
  }
  return new QvImageFile{h};
}

extern "C" int qvrt_image_write(QvImageFile* f, uint64_t offset, const void* data, size_t n) {
  auto* p = static_cast<const char*>(data);
  while (n) {
    // The handle is synchronous: the offset in the OVERLAPPED places the
    // write, which returns once done.
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD chunk = n > (1u << 30) ? (1u << 30) : static_cast<DWORD>(n);
    DWORD wrote = 0;
    if (!WriteFile(f->handle, p, chunk, &wrote, &at) || !wrote) return -1;
    p += wrote;
    n -= wrote;
    offset += wrote;
  }
  return 0;
}

extern "C" void qvrt_image_close(QvImageFile* f) {
  if (!f) return;
  CloseHandle(f->handle);
  delete f;
}

extern "C" int qvrt_save_file(const char* path, const void* data, size_t n) {
  // The copy's map: where it fails, the next map written takes its place.
  return WriteThenReplace(path, data, n, FILE_ATTRIBUTE_NORMAL);
}

extern "C" long long qvrt_read_file(const char* path, void* buf, size_t cap) {
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(h, &size)) {
    CloseHandle(h);
    return -1;
  }
  size_t want = cap < static_cast<unsigned long long>(size.QuadPart) ? cap : static_cast<size_t>(size.QuadPart);
  size_t got = 0;
  while (got < want) {
    DWORD r = 0;
    if (!ReadFile(h, static_cast<char*>(buf) + got, static_cast<DWORD>(want - got), &r, nullptr) || !r) break;
    got += r;
  }
  CloseHandle(h);
  return got == want ? static_cast<long long>(size.QuadPart) : -1;
}
