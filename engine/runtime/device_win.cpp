// Devices on Windows: a table-mapped image, an image file, or the raw disk
// \\.\PhysicalDriveN, always opened for reading only.
#include <windows.h>
#include <winioctl.h>

#include <atomic>
#include <string>

#include "../core/device_name.h"
#include "qvrt.h"

struct QvDevice {
  HANDLE handle;
  uint64_t size;
  std::atomic<DWORD> cancelAfterMs{9000};
  std::atomic<uint64_t> asked{0}, cancelled{0}, ignored{0}, late{0};
};

namespace {

std::string runtimeFolder() {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&runtimeFolder), &self);
  char path[MAX_PATH] = {0};
  DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return "";
  std::string s(path, n);
  size_t slash = s.find_last_of("\\/");
  return slash == std::string::npos ? "" : s.substr(0, slash);
}

std::string readTable() {
  std::string file = runtimeFolder() + "\\63\\cygwin\\devices";
  HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "";
  std::string text;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0 && text.size() < (1 << 20))
    text.append(buf, got);
  CloseHandle(h);
  return text;
}

bool isFile(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// Overlapped, so that a read that hangs on a failing disk can be given up.
HANDLE openRead(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OVERLAPPED, nullptr);
}

bool sizeOf(HANDLE h, bool disk, uint64_t& size) {
  if (disk) {
    GET_LENGTH_INFORMATION info;
    DWORD got = 0;
    if (DeviceIoControl(h, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &info, sizeof info, &got, nullptr)) {
      size = static_cast<uint64_t>(info.Length.QuadPart);
      return true;
    }
  }
  LARGE_INTEGER li;
  if (!GetFileSizeEx(h, &li)) return false;
  size = static_cast<uint64_t>(li.QuadPart);
  return true;
}

// A failing card may take seconds for one read; one that takes longer than
// the device's limit is cancelled and counts as unreadable. Where the
// system does not cancel it (or never lets it be pending), the engine's
// time limit gives up waiting for it on the reading thread's behalf.
DWORD readSome(QvDevice* dev, uint64_t offset, uint8_t* buf, DWORD n) {
  OVERLAPPED ov = {};
  ov.Offset = static_cast<DWORD>(offset);
  ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!ov.hEvent) return 0;
  const DWORD limit = dev->cancelAfterMs.load();
  const DWORD began = GetTickCount();
  DWORD got = 0;
  bool ok = ReadFile(dev->handle, buf, n, &got, &ov) != 0;
  if (!ok && GetLastError() == ERROR_IO_PENDING) {
    if (WaitForSingleObject(ov.hEvent, limit) != WAIT_OBJECT_0) {
      ++dev->asked;
      CancelIoEx(dev->handle, &ov);
      ok = GetOverlappedResult(dev->handle, &ov, &got, TRUE) != 0;
      if (!ok && GetLastError() == ERROR_OPERATION_ABORTED)
        ++dev->cancelled;
      else
        ++dev->ignored;
      ok = false;
    } else {
      ok = GetOverlappedResult(dev->handle, &ov, &got, TRUE) != 0;
    }
  } else if (GetTickCount() - began > limit) {
    ++dev->late;
  }
  CloseHandle(ov.hEvent);
  // A failed read may still say how far it got.
  return got <= n ? got : 0;
}

}  // namespace

extern "C" QvDevice* qvrt_open_device(const char* name) {
  std::string device = name ? name : "";
  std::string path = qv::lookupDevice(qv::parseDeviceTable(readTable()), device);
  bool disk = false;
  if (path.empty() && isFile(device)) path = device;
  if (path.empty()) {
    int n = qv::diskNumberFromDevice(device);
    if (n < 0) return nullptr;
    path = "\\\\.\\PhysicalDrive" + std::to_string(n);
    disk = true;
  }
  HANDLE h = openRead(path);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  uint64_t size = 0;
  if (!sizeOf(h, disk, size)) {
    CloseHandle(h);
    return nullptr;
  }
  QvDevice* dev = new QvDevice;
  dev->handle = h;
  dev->size = size;
  return dev;
}

extern "C" uint64_t qvrt_device_size(const QvDevice* dev) { return dev->size; }

extern "C" size_t qvrt_read_some(QvDevice* dev, uint64_t offset, void* buf, size_t n) {
  auto* p = static_cast<uint8_t*>(buf);
  const DWORD chunk = 16u << 20;
  size_t done = 0;
  while (done < n) {
    const DWORD k = n - done < chunk ? static_cast<DWORD>(n - done) : chunk;
    const DWORD got = readSome(dev, offset + done, p + done, k);
    done += got;
    if (got < k) break;
  }
  return done;
}

extern "C" int qvrt_read(QvDevice* dev, uint64_t offset, void* buf, size_t n) {
  return qvrt_read_some(dev, offset, buf, n) == n ? 0 : -1;
}

extern "C" void qvrt_set_cancel_after(QvDevice* dev, unsigned ms) { dev->cancelAfterMs = ms; }

extern "C" void qvrt_slow_reads(const QvDevice* dev, QvSlowReads* out) {
  out->asked = dev->asked.load();
  out->cancelled = dev->cancelled.load();
  out->ignored = dev->ignored.load();
  out->late = dev->late.load();
}

extern "C" void qvrt_close_device(QvDevice* dev) {
  if (!dev) return;
  CloseHandle(dev->handle);
  delete dev;
}
