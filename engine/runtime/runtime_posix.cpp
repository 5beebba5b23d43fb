// The runtime for the native build (tests, fuzzing, benchmarks on Linux):
// the same interface over POSIX files; the device table sits beside the
// executable in 63/cygwin/devices.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "../core/device_name.h"
#include "../core/retry.h"
#include "qvrt.h"

struct QvDevice {
  int fd;
  uint64_t size;
};

struct QvOutput {
  int fd;
  std::string partPath;
  std::string finalPath;
  int64_t ticks = 0;
  bool local = false;
};

namespace {

std::string exeFolder() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string s(buf, size_t(n));
  return s.substr(0, s.find_last_of('/'));
}

std::string readTable() {
  std::ifstream in(exeFolder() + "/63/cygwin/devices", std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool renamePatiently(const std::string& from, const std::string& to) {
  return qv::retryWhileBusy(
      [&] {
        if (std::rename(from.c_str(), to.c_str()) == 0) return qv::Attempt::Done;
        return errno == EBUSY || errno == ETXTBSY || errno == EINTR ? qv::Attempt::Busy : qv::Attempt::Failed;
      },
      [](unsigned ms) { usleep(ms * 1000u); }, qv::kRenamePlan);
}

}  // namespace

extern "C" QvDevice* qvrt_open_device(const char* name) {
  std::string device = name ? name : "";
  std::string path = qv::lookupDevice(qv::parseDeviceTable(readTable()), device);
  if (path.empty()) path = device;
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return nullptr;
  off_t end = lseek(fd, 0, SEEK_END);
  if (end < 0) {
    close(fd);
    return nullptr;
  }
  return new QvDevice{fd, uint64_t(end)};
}

extern "C" uint64_t qvrt_device_size(const QvDevice* dev) { return dev->size; }

extern "C" size_t qvrt_read_some(QvDevice* dev, uint64_t offset, void* buf, size_t n) {
  auto* p = static_cast<char*>(buf);
  size_t done = 0;
  while (done < n) {
    ssize_t got = pread(dev->fd, p + done, n - done, off_t(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += size_t(got);
  }
  return done;
}

// pread cannot be cancelled: the caller's time limit alone gives up on a
// read that hangs.
extern "C" void qvrt_set_cancel_after(QvDevice*, unsigned) {}

extern "C" void qvrt_slow_reads(const QvDevice*, QvSlowReads* out) { *out = QvSlowReads{0, 0, 0, 0}; }

extern "C" int qvrt_read(QvDevice* dev, uint64_t offset, void* buf, size_t n) {
  return qvrt_read_some(dev, offset, buf, n) == n ? 0 : -1;
}

extern "C" void qvrt_close_device(QvDevice* dev) {
  if (!dev) return;
  close(dev->fd);
  delete dev;
}

extern "C" int qvrt_make_dirs(const char* path) {
  std::string p = path ? path : "";
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty()) return -1;
  struct stat st;
  if (stat(p.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : -1;
  size_t slash = p.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && qvrt_make_dirs(p.substr(0, slash).c_str()) != 0) return -1;
  return mkdir(p.c_str(), 0777) == 0 || errno == EEXIST ? 0 : -1;
}

extern "C" QvOutput* qvrt_output_begin(const char* dir, const char* part_name, const char* name) {
  std::string d = dir;
  if (!d.empty() && d.back() != '/') d += '/';
  auto* out = new QvOutput{-1, d + part_name, d + name};
  out->fd = open(out->partPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (out->fd < 0) {
    delete out;
    return nullptr;
  }
  return out;
}

extern "C" int qvrt_output_write(QvOutput* out, const void* data, size_t n) {
  auto* p = static_cast<const char*>(data);
  while (n) {
    ssize_t w = write(out->fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return -1;
    p += w;
    n -= size_t(w);
  }
  return 0;
}

extern "C" void qvrt_output_set_time(QvOutput* out, int64_t ticks, int local) {
  out->ticks = ticks;
  out->local = local != 0;
}

namespace {
// Ticks since 1601 as a POSIX time; local wall-clock time through the zone.
timespec toTimespec(int64_t ticks, bool local) {
  constexpr int64_t kTicksTo1970 = 116444736000000000;
  const int64_t t = ticks - kTicksTo1970;
  int64_t secs = t >= 0 ? t / 10000000 : -((-t + 9999999) / 10000000);
  const long nanos = long((t - secs * 10000000) * 100);
  if (local) {
    time_t asUtc = time_t(secs);
    tm parts{};
    gmtime_r(&asUtc, &parts);
    parts.tm_isdst = -1;
    secs = mktime(&parts);
  }
  return timespec{time_t(secs), nanos};
}
}  // namespace

extern "C" int qvrt_output_end(QvOutput* out, int keep) {
  if (keep && out->ticks) {
    const timespec mtime = toTimespec(out->ticks, out->local);
    const timespec times[2] = {mtime, mtime};
    futimens(out->fd, times);
  }
  bool ok = close(out->fd) == 0;
  if (keep && ok) ok = renamePatiently(out->partPath, out->finalPath);
  if (!keep || !ok) unlink(out->partPath.c_str());
  delete out;
  return ok && keep ? 0 : -1;
}

extern "C" int qvrt_replace_file(const char* path, const void* data, size_t n) {
  const std::string tmp = std::string(path) + ".tmp";
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) return -1;
  auto* p = static_cast<const char*>(data);
  bool ok = true;
  while (ok && n) {
    ssize_t w = write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    ok = w > 0;
    if (ok) {
      p += w;
      n -= size_t(w);
    }
  }
  ok = close(fd) == 0 && ok;
  ok = ok && std::rename(tmp.c_str(), path) == 0;
  if (!ok) unlink(tmp.c_str());
  return ok ? 0 : -1;
}

struct QvAppendFile {
  int fd;
};

extern "C" QvAppendFile* qvrt_append_create(const char* path) {
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0666);
  return fd < 0 ? nullptr : new QvAppendFile{fd};
}

extern "C" int qvrt_append(QvAppendFile* f, const void* data, size_t n) {
  // The whole line in one write where the system takes it at once: a
  // reader seldom sees part of one, and then waits for the rest.
  auto* p = static_cast<const char*>(data);
  while (n) {
    ssize_t w = write(f->fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return -1;
    p += w;
    n -= size_t(w);
  }
  return 0;
}

extern "C" void qvrt_append_close(QvAppendFile* f) {
  if (!f) return;
  close(f->fd);
  delete f;
}

struct QvImageFile {
  int fd;
};

extern "C" QvImageFile* qvrt_image_create(const char* path, uint64_t size) {
  // Never over a file that is there: it may be the very disk image searched.
  int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
  if (fd < 0) return nullptr;
  if (ftruncate(fd, off_t(size)) != 0) {
    close(fd);
    unlink(path);
    return nullptr;
  }
  return new QvImageFile{fd};
}

extern "C" int qvrt_image_write(QvImageFile* f, uint64_t offset, const void* data, size_t n) {
  auto* p = static_cast<const char*>(data);
  while (n) {
    ssize_t w = pwrite(f->fd, p, n, off_t(offset));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return -1;
    p += w;
    n -= size_t(w);
    offset += uint64_t(w);
  }
  return 0;
}

extern "C" void qvrt_image_close(QvImageFile* f) {
  if (!f) return;
  close(f->fd);
  delete f;
}

extern "C" int qvrt_save_file(const char* path, const void* data, size_t n) { return qvrt_replace_file(path, data, n); }

extern "C" long long qvrt_read_file(const char* path, void* buf, size_t cap) {
  int fd = open(path, O_RDONLY);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return -1;
  }
  size_t want = std::min<size_t>(cap, size_t(st.st_size)), got = 0;
  while (got < want) {
    ssize_t r = read(fd, static_cast<char*>(buf) + got, want - got);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    got += size_t(r);
  }
  close(fd);
  return got == want ? static_cast<long long>(st.st_size) : -1;
}
