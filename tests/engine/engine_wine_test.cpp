// The real photo.exe with cygwin1.dll, started the way the program starts
// it, on card images made by the sample step.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "disk_copy.h"
#include "finds_file.h"
#include "lock.h"
#include "progress_file.h"

namespace {

std::string winPath(const std::string& unixPath) {
  std::string p = "Z:" + unixPath;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

std::string samples() { return winPath(QV_SAMPLES); }

std::string readFile(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "";
  std::string data;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) data.append(buf, got);
  CloseHandle(h);
  return data;
}

bool writeFile(const std::string& path, const std::string& data) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD wrote = 0;
  bool ok = WriteFile(h, data.data(), DWORD(data.size()), &wrote, nullptr) && wrote == data.size();
  CloseHandle(h);
  return ok;
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Last-write time in 100 ns ticks, 0 if the file is not there.
long long writeTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return 0;
  return (long long)a.ftLastWriteTime.dwHighDateTime << 32 | a.ftLastWriteTime.dwLowDateTime;
}

// Every file at any depth under dir: name -> path.
void collectPaths(const std::string& dir, std::map<std::string, std::string>& paths) {
  WIN32_FIND_DATAA fd;
  HANDLE f = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (f == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      collectPaths(dir + "\\" + name, paths);
    else
      paths[name] = dir + "\\" + name;
  } while (FindNextFileA(f, &fd));
  FindClose(f);
}

void removeTree(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE f = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (f != INVALID_HANDLE_VALUE) {
    do {
      std::string name = fd.cFileName;
      if (name == "." || name == "..") continue;
      std::string p = dir + "\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTree(p);
      } else {
        DeleteFileA(p.c_str());
      }
    } while (FindNextFileA(f, &fd));
    FindClose(f);
  }
  RemoveDirectoryA(dir.c_str());
}

// Every file at any depth under dir, by name.
void collectFiles(const std::string& dir, std::map<std::string, std::string>& files) {
  WIN32_FIND_DATAA fd;
  HANDLE f = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (f == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      collectFiles(dir + "\\" + name, files);
    } else {
      files[name] = readFile(dir + "\\" + name);
    }
  } while (FindNextFileA(f, &fd));
  FindClose(f);
}

std::map<std::string, std::string> listFiles(const std::string& dir) {
  std::map<std::string, std::string> files;
  collectFiles(dir, files);
  return files;
}

const char* kPictures[] = {"base.jpg", "prog.jpg", "restart.jpg", "exif.jpg", "exif_aligned.jpg",
                           "mpf.jpg", "plain.png", "many_idat.png", "alpha.png", "palette.png",
                           "gray.png", "static.gif", "static87.gif", "anim.gif", "pal8.bmp",
                           "rle8.bmp", "true24.bmp", "v5.bmp", "os2.bmp", "le_strips.tif", "be_strips.tif", "le_tiles.tif", "be_tiles.tif"};

std::string extension(const std::string& name) { return name.substr(name.rfind('.')); }

const std::string kAll =
    "fileopt,everything,disable,jpg,enable,gif,enable,png,enable,bmp,enable,tif,enable,raw,enable,heic,enable,avif,enable,webp,enable,search";

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    dir_ = std::string(tmp) + "qv-engine-" + std::to_string(GetCurrentProcessId()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    removeTree(dir_);
    engine_ = dir_ + "\\tarnwick-software";
    CreateDirectoryA(dir_.c_str(), nullptr);
    CreateDirectoryA(engine_.c_str(), nullptr);
    CreateDirectoryA((engine_ + "\\63").c_str(), nullptr);
    CreateDirectoryA((engine_ + "\\63\\cygwin").c_str(), nullptr);
    const std::string bin = winPath(QV_ENGINE_BIN);
    for (const char* f : {"photo.exe", "cygwin1.dll"})
      ASSERT_TRUE(CopyFileA((bin + "\\" + f).c_str(), (engine_ + "\\" + f).c_str(), FALSE)) << f;
    ASSERT_TRUE(writeFile(engine_ + "\\63\\cygwin\\devices",
                          "# test disks\r\n/dev/sda=" + samples() + "\\deleted.img\r\n"));
    for (const char* p : kPictures) originals_[p] = readFile(samples() + "\\pics\\" + p);
    out_ = dir_ + "\\data\\temp";
    CreateDirectoryA((dir_ + "\\data").c_str(), nullptr);
  }
  void TearDown() override { removeTree(dir_); }

  HANDLE start(const std::string& args) {
    std::string cmd = "\"" + engine_ + "\\photo.exe\" " + args;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
      return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
  }

  DWORD run(const std::string& args) {
    HANDLE p = start(args);
    if (!p) return 0xFFFFFFFF;
    WaitForSingleObject(p, 120000);
    DWORD code = 0;
    GetExitCodeProcess(p, &code);
    CloseHandle(p);
    return code;
  }

  // As run, with what it prints.
  DWORD runCapture(const std::string& args, std::string& printed) {
    const std::string log = dir_ + "\\photo.log";
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 0xFFFFFFFF;
    std::string cmd = "\"" + engine_ + "\\photo.exe\" " + args;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    PROCESS_INFORMATION pi = {};
    const bool started =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    CloseHandle(out);
    if (!started) return 0xFFFFFFFF;
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    printed = readFile(log);
    return code;
  }

  std::string args(const std::string& device, const std::string& cmds = kAll) {
    return "/d \"" + out_ + "\" /cmd " + device + " " + cmds;
  }

  // Files with a picture extension must each be one whole original.
  int checkOnlyWholePictures() {
    int pictures = 0;
    for (const auto& [name, data] : listFiles(out_)) {
      std::string ext = extension(name);
      if (ext == ".part") continue;
      ++pictures;
      bool whole = false;
      for (const auto& [orig, bytes] : originals_) whole = whole || (extension(orig) == ext && bytes == data);
      EXPECT_TRUE(whole) << name << " is not a whole picture";
    }
    return pictures;
  }

  std::string dir_, engine_, out_;
  std::map<std::string, std::string> originals_;
};

}  // namespace

// The engine's threads hand blocks and finds to each other through the
// system's slim lock and condition variable; the time limit is our own.
TEST(EngineLock, HandsOffBetweenThreadsAndKeepsToTheTimeLimit) {
  using namespace std::chrono;
  qv::Mutex mu;
  qv::CondVar cv;
  const int kRounds = 5000;
  int turn = 0;
  std::thread other([&] {
    for (int i = 0; i < kRounds; ++i) {
      std::unique_lock<qv::Mutex> lock(mu);
      cv.wait(lock, [&] { return turn % 2 == 1; });
      ++turn;
      cv.notify_all();
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    std::unique_lock<qv::Mutex> lock(mu);
    cv.wait(lock, [&] { return turn % 2 == 0; });
    ++turn;
    cv.notify_one();
  }
  other.join();
  EXPECT_EQ(turn, 2 * kRounds);

  std::unique_lock<qv::Mutex> lock(mu);
  const auto start = steady_clock::now();
  EXPECT_FALSE(cv.wait_for(lock, milliseconds(120), [] { return false; }));
  EXPECT_GE(steady_clock::now() - start, milliseconds(120));
  EXPECT_TRUE(lock.owns_lock());

  bool ready = false;
  std::thread setter([&] {
    Sleep(20);
    std::lock_guard<qv::Mutex> hold(mu);
    ready = true;
    cv.notify_one();
  });
  EXPECT_TRUE(cv.wait_for(lock, seconds(30), [&] { return ready; }));
  lock.unlock();
  setter.join();
  EXPECT_TRUE(mu.try_lock());
  mu.unlock();
}

TEST_F(EngineTest, RecoversEveryPictureOfADeletedCardThroughTheDeviceTable) {
  ASSERT_FALSE(exists(out_));
  EXPECT_EQ(run(args("/dev/sda")), 0u);
  auto files = listFiles(out_);
  EXPECT_EQ(files.size(), originals_.size());
  EXPECT_EQ(checkOnlyWholePictures(), int(originals_.size()));
  for (const auto& [orig, bytes] : originals_) {
    bool found = false;
    for (const auto& f : files) found = found || f.second == bytes;
    EXPECT_TRUE(found) << orig << " not recovered";
  }
}

TEST_F(EngineTest, ImageFileAsDeviceAndOnlyTheEnabledTypes) {
  EXPECT_EQ(run(args(samples() + "\\formatted.img", "fileopt,everything,disable,gif,enable,tif,enable,search")), 0u);
  auto files = listFiles(out_);
  EXPECT_EQ(files.size(), 7u);
  for (const auto& f : files) EXPECT_TRUE(extension(f.first) == ".gif" || extension(f.first) == ".tif") << f.first;
  EXPECT_EQ(checkOnlyWholePictures(), 7);
}

TEST_F(EngineTest, ACommandLineItDoesNotUnderstandEndsItWithoutWriting) {
  EXPECT_NE(run(""), 0u);
  EXPECT_NE(run(args("/dev/sda", "fileopt,everything,disable,jpg,enable")), 0u);
  EXPECT_NE(run(args("/dev/sda", "fileopt,everything,disable,jpeg,enable,search")), 0u);
  EXPECT_NE(run("/d " + out_ + " /cmd /dev/sda"), 0u);
  EXPECT_FALSE(exists(out_));
}

TEST_F(EngineTest, CannotStartWithoutItsRuntimeLibrary) {
  ASSERT_TRUE(DeleteFileA((engine_ + "\\cygwin1.dll").c_str()));
  EXPECT_NE(run(args("/dev/sda")), 0u);
  EXPECT_FALSE(exists(out_));
}

TEST_F(EngineTest, AKilledEngineLeavesOnlyWholePictures) {
  // A bigger card: the samples again and again, cluster-aligned.
  std::string disk;
  for (int round = 0; round < 40; ++round) {
    for (const auto& o : originals_) {
      disk += o.second;
      disk.resize((disk.size() + 4095) / 4096 * 4096, '\0');
    }
  }
  const std::string img = dir_ + "\\big.img";
  ASSERT_TRUE(writeFile(img, disk));
  for (DWORD wait : {30u, 120u, 400u}) {
    removeTree(out_);
    HANDLE p = start(args(img));
    ASSERT_TRUE(p);
    WaitForSingleObject(p, wait);
    TerminateProcess(p, 1);
    WaitForSingleObject(p, 10000);
    CloseHandle(p);
    checkOnlyWholePictures();
  }
  removeTree(out_);
  EXPECT_EQ(run(args(img)), 0u);
  EXPECT_EQ(checkOnlyWholePictures(), int(40 * originals_.size()));
}

// The Windows runtime gives files from the records their names and their
// modification times (FAT's local time through the zone, exFAT's and NTFS's
// UTC as they are), and the finds file their folders, truncated and written
// while the window holds the old one open the way it reads it.
TEST_F(EngineTest, PicturesFromTheFileSystemsKeepTheirNamesAndDates) {
  std::ifstream why(QV_FS_IMAGES "/unavailable");
  std::string reason;
  if (std::getline(why, reason)) GTEST_SKIP() << "no file-system images on this machine: " << reason;
  std::ifstream in(QV_FS_IMAGES "/expected.tsv");
  struct Picture {
    std::string name, source, folder, state;
  };
  std::map<std::string, std::vector<Picture>> expected;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream cols(line);
    std::string image;
    Picture p;
    std::getline(cols, image, '\t');
    std::getline(cols, p.name, '\t');
    std::getline(cols, p.source, '\t');
    std::getline(cols, p.folder, '\t');
    std::getline(cols, p.state, '\t');
    bool ascii = true;
    for (unsigned char c : p.source) ascii = ascii && c < 0x80;
    p.source = winPath(p.source);
    if (ascii) expected[image].push_back(p);  // the ANSI test cannot open the others
  }
  ASSERT_EQ(expected.size(), 3u);
  const std::string findsPath = dir_ + "\\data.finds";
  for (const auto& [image, pictures] : expected) {
    removeTree(out_);
    ASSERT_TRUE(writeFile(findsPath, "an old search's lines\n"));
    HANDLE held = CreateFileA(findsPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_EQ(run(args(winPath(QV_FS_IMAGES "/" + image))), 0u) << image;
    std::string text;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(held, buf, sizeof buf, &got, nullptr) && got) text.append(buf, got);
    CloseHandle(held);
    std::vector<qv::FindsEntry> lines;
    EXPECT_EQ(qv::parseFindsText(text, 0, lines), text.size()) << text;
    std::map<std::string, std::string> paths;
    collectPaths(out_, paths);
    for (const Picture& p : pictures) {
      auto it = paths.find(p.name);
      ASSERT_NE(it, paths.end()) << image << ": " << p.name;
      EXPECT_EQ(readFile(it->second), readFile(p.source)) << p.name;
      EXPECT_LE(std::llabs(writeTime(it->second) - writeTime(p.source)), 20000000LL) << p.name;
      int named = 0;
      for (const qv::FindsEntry& e : lines)
        if (e.file == "d0001\\" + p.name) {
          ++named;
          EXPECT_EQ(e.folder, p.folder) << p.name;
          EXPECT_EQ(e.deleted, p.state == "deleted") << p.name;
        }
      EXPECT_EQ(named, 1) << p.name;
    }
  }
}

// The test disk served through FUSE with its last sector hanging for 30 s:
// the read is given up after the limit, the search goes on and ends well
// before the disk answers, and every picture is found.
TEST_F(EngineTest, ADiskThatStopsAnsweringIsGivenUpAfterTheLimit) {
  const std::string disk = winPath(QV_HANGING_DISK) + "\\disk.img";
  ASSERT_TRUE(exists(disk)) << "the failing disk is not served (FUSE)";
  SetEnvironmentVariableA("QV_READ_TIME_LIMIT_MS", "3000");
  const DWORD began = GetTickCount();
  std::string printed;
  EXPECT_EQ(runCapture(args(disk), printed), 0u);
  const DWORD took = GetTickCount() - began;
  SetEnvironmentVariableA("QV_READ_TIME_LIMIT_MS", nullptr);
  std::printf("%s(took %lu ms)\n", printed.c_str(), (unsigned long)took);
  EXPECT_LT(took, 20000u) << "waited for the hanging read";
  EXPECT_NE(printed.find(" 1 reads given up"), std::string::npos) << printed;
  const std::string progress = readFile(dir_ + "\\data.progress");
  qv::SearchProgress p;
  ASSERT_TRUE(qv::parseProgress(progress.data(), progress.size(), p)) << progress;
  EXPECT_TRUE(p.ended);
  EXPECT_GT(p.givenUp, 0u);
  EXPECT_EQ(p.givenUp, p.unreadable);
  EXPECT_EQ(checkOnlyWholePictures(), int(originals_.size()));
}

// The test disk served through FUSE with bad sectors, searched with a copy
// kept: the copy is the disk wherever it reads, its map names exactly the
// bad sectors, and searching the copy finds what searching the disk found.
TEST_F(EngineTest, TheCopyKeptWhileSearchingIsTheDiskAndSearchesTheSame) {
  const std::string disk = winPath(QV_FAILING_DISK) + "\\disk.img";
  ASSERT_TRUE(exists(disk)) << "the failing disk is not served (FUSE)";
  const std::string copy = dir_ + "\\E 2026-12-10.img";
  std::string printed;
  ASSERT_EQ(runCapture("/d \"" + out_ + "\" /copy \"" + copy + "\" /cmd " + disk + " " + kAll, printed), 0u) << printed;
  std::printf("%s", printed.c_str());
  const auto fromDisk = listFiles(out_);

  const std::string image = readFile(copy), card = readFile(samples() + "\\deleted.img");
  ASSERT_EQ(image.size(), card.size());
  qv::CopyMap map;
  const std::string mapText = readFile(dir_ + "\\E 2026-12-10.map");
  ASSERT_TRUE(qv::parseCopyMap(mapText, map)) << mapText;
  EXPECT_EQ(map.size, card.size());
  EXPECT_EQ(map.complete, card.size() / 512);
  const std::vector<std::pair<uint64_t, uint64_t>> bad = {{2100, 2101}, {9000, 9100}, {30001, 30002}, {61234, 61235}, {77777, 77778}};
  std::vector<std::pair<uint64_t, uint64_t>> named = map.unreadable;
  named.insert(named.end(), map.notRead.begin(), map.notRead.end());
  std::sort(named.begin(), named.end());
  // Runs side by side are one.
  std::vector<std::pair<uint64_t, uint64_t>> merged;
  for (const auto& r : named)
    if (!merged.empty() && merged.back().second == r.first)
      merged.back().second = r.second;
    else
      merged.push_back(r);
  EXPECT_EQ(merged, bad) << mapText;
  uint64_t copied = 0;
  for (const auto& r : map.copied) {
    copied += r.second - r.first;
    EXPECT_TRUE(image.compare(r.first * 512, (r.second - r.first) * 512, card, r.first * 512, (r.second - r.first) * 512) == 0)
        << "sectors " << r.first << "-" << r.second;
  }
  EXPECT_EQ(copied, card.size() / 512 - 104);
  for (const auto& r : bad) EXPECT_EQ(image.substr(r.first * 512, (r.second - r.first) * 512), std::string((r.second - r.first) * 512, '\0'));

  removeTree(out_);
  ASSERT_EQ(runCapture(args("\"" + copy + "\""), printed), 0u) << printed;
  std::printf("%s", printed.c_str());
  EXPECT_NE(printed.find(" 104 sectors unreadable"), std::string::npos) << printed;
  const auto fromCopy = listFiles(out_);
  EXPECT_GT(fromDisk.size(), 10u);
  EXPECT_EQ(fromCopy.size(), fromDisk.size());
  for (const auto& [name, data] : fromDisk) {
    auto it = fromCopy.find(name);
    ASSERT_NE(it, fromCopy.end()) << name;
    EXPECT_TRUE(it->second == data) << name;
  }
}
