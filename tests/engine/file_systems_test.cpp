// The native engine on disks with real file systems (make_fs_images.sh):
// deleted pictures come back from the records under their names and dates,
// byte for byte, fragmented NTFS files included; a formatted volume still
// gives the content search's finds; damaged records are survived. The finds
// file names every picture from the records with its folder and state.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "finds_file.h"
#include "progress_file.h"
#include "fs/record_pass.h"
#include "recognizers.h"
#include "source.h"
#include "support.h"
#include "view.h"

namespace fs = std::filesystem;
using qvtest::readFile;

namespace {

const std::string kAll = "fileopt,everything,disable,jpg,enable,gif,enable,png,enable,bmp,enable,tif,enable,raw,enable,heic,enable,avif,enable,webp,enable,search";

std::string images() { return QV_FS_IMAGES; }

struct Expected {
  std::string name;
  std::string source;
  std::string folder;
  bool deleted = false;
};

std::map<std::string, std::vector<Expected>> expectedByImage() {
  std::map<std::string, std::vector<Expected>> all;
  std::ifstream in(images() + "/expected.tsv");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream cols(line);
    std::string image, name, source, folder, state;
    std::getline(cols, image, '\t');
    std::getline(cols, name, '\t');
    std::getline(cols, source, '\t');
    std::getline(cols, folder, '\t');
    std::getline(cols, state, '\t');
    all[image].push_back(Expected{name, source, folder, state == "deleted"});
  }
  return all;
}

time_t mtimeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

class FileSystemsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream why(images() + "/unavailable");
    std::string reason;
    if (std::getline(why, reason)) GTEST_SKIP() << "no file-system images on this machine: " << reason;
    out_ = fs::temp_directory_path() / ("qv-fs-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(out_);
  }
  void TearDown() override { fs::remove_all(out_); }

  // Runs photo on the image, into data/temp as the program does (env
  // goes before the command); the files it wrote by name, with their paths.
  std::map<std::string, std::string> recover(const std::string& image, const std::string& types = kAll,
                                             const std::string& env = "") {
    fs::remove_all(out_);
    const std::string cmd = env + "'" + std::string(QV_ENGINE_BIN) + "/photo' /d '" + outDir().string() + "' /cmd '" +
                            images() + "/" + image + "' " + types + " >/dev/null 2>&1";
    const int status = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << image;
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(outDir()))
      if (e.is_regular_file()) EXPECT_TRUE(files.emplace(e.path().filename().string(), e.path().string()).second);
    return files;
  }
  fs::path outDir() const { return out_ / "data" / "temp"; }

  fs::path out_;
};

}  // namespace

TEST_F(FileSystemsTest, EveryDeletedPictureComesBackUnderItsNameAndDateExactlyOnce) {
  const auto expected = expectedByImage();
  ASSERT_EQ(expected.size(), 3u);
  for (const auto& [image, pictures] : expected) {
    const auto files = recover(image);
    for (const Expected& e : pictures) {
      auto it = files.find(e.name);
      ASSERT_NE(it, files.end()) << image << ": " << e.name;
      EXPECT_EQ(readFile(it->second), readFile(e.source)) << e.name;
      // FAT keeps times in steps of two seconds.
      EXPECT_LE(std::llabs(static_cast<long long>(mtimeOf(it->second) - mtimeOf(e.source))), 2) << e.name;
    }
    // Nothing else: the content search did not write them a second time.
    EXPECT_EQ(files.size(), pictures.size()) << image;
  }
}

TEST_F(FileSystemsTest, OnlyTheEnabledTypesAreWrittenFromTheRecords) {
  const auto files = recover("mbr.img", "fileopt,everything,disable,png,enable,search");
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files.count("old pic.png"), 1u);
  EXPECT_EQ(files.count("Strand.png"), 1u);
}

TEST_F(FileSystemsTest, AFormattedVolumeStillGivesTheContentSearchsFinds) {
  const auto files = recover("ntfs-formatted.img");
  EXPECT_EQ(files.size(), 3u);
  for (const char* pic : {"base.jpg", "plain.png", "static.gif"}) {
    bool found = false;
    for (const auto& [name, path] : files) found = found || readFile(path) == readFile(qvtest::pic(pic));
    EXPECT_TRUE(found) << pic;
  }
}

// What the window reads beside its work folder: a line for each picture
// from the records, naming a file that is there, with the folder it was in
// and whether it was deleted; none for the content search's finds.
TEST_F(FileSystemsTest, TheFindsFileNamesEachPictureFromTheRecordsOnceWithItsFolder) {
  const auto expected = expectedByImage();
  for (const auto& [image, pictures] : expected) {
    const auto files = recover(image);
    const std::vector<uint8_t> bytes = readFile((out_ / "data.finds").string());
    const std::string text(bytes.begin(), bytes.end());
    std::vector<qv::FindsEntry> lines;
    ASSERT_EQ(qv::parseFindsText(text, 0, lines), text.size()) << image;
    EXPECT_EQ(lines.size(), pictures.size()) << image;
    std::map<std::string, const qv::FindsEntry*> byName;
    for (const qv::FindsEntry& line : lines) {
      std::string path = line.file;
      for (char& c : path) c = c == '\\' ? '/' : c;
      EXPECT_TRUE(fs::is_regular_file(outDir() / path)) << line.file;
      const std::string name = fs::path(path).filename().string();
      EXPECT_TRUE(byName.emplace(name, &line).second) << line.file;
      EXPECT_EQ(files.count(name), 1u) << line.file;
    }
    for (const Expected& e : pictures) {
      auto it = byName.find(e.name);
      ASSERT_NE(it, byName.end()) << image << ": " << e.name;
      EXPECT_EQ(it->second->folder, e.folder) << e.name;
      EXPECT_EQ(it->second->deleted, e.deleted) << e.name;
    }
  }
  const auto files = recover("ntfs-formatted.img");
  EXPECT_EQ(files.size(), 3u);
  const std::vector<uint8_t> bytes = readFile((out_ / "data.finds").string());
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), qv::kFindsHeader);
}

TEST_F(FileSystemsTest, AnyNumberOfSearchThreadsWritesTheSameFolder) {
  for (const char* image : {"mbr.img", "gpt.img", "ntfs-formatted.img", "raw.img"}) {
    SCOPED_TRACE(image);
    // Every file by its path in the folder: bytes and time. A find with no
    // record carries the time it was written, which may fall in another
    // second from one run to the next; only the dates from records (all of
    // them long past) are compared.
    const time_t start = time(nullptr);
    std::map<std::string, std::pair<std::vector<uint8_t>, time_t>> first;
    for (const char* threads : {"1", "2", "7"}) {
      std::map<std::string, std::pair<std::vector<uint8_t>, time_t>> folder;
      recover(image, kAll, std::string("QV_ENGINE_THREADS=") + threads + " ");
      for (const auto& e : fs::recursive_directory_iterator(outDir()))
        if (e.is_regular_file()) {
          const time_t written = mtimeOf(e.path().string());
          folder[fs::relative(e.path(), outDir()).string()] = {readFile(e.path().string()),
                                                               written < start - 60 ? written : 0};
        }
      EXPECT_FALSE(folder.empty());
      if (first.empty()) first = folder;
      EXPECT_TRUE(folder == first) << threads << " threads";
    }
  }
}

namespace {
// Checks what the record pass hands on: inside the disk, a whole picture of
// its type, named.
class CheckingSink : public qv::FindSink {
 public:
  explicit CheckingSink(uint64_t diskSize) : diskSize_(diskSize) {}
  void onFind(const qv::Find& f, qv::View& data) override {
    ++finds;
    EXPECT_LT(f.offset, diskSize_);
    EXPECT_FALSE(f.name.empty());
    std::vector<uint8_t> bytes(f.length);
    ASSERT_TRUE(data.read(0, bytes.data(), bytes.size()));
    qv::MemoryView v(bytes.data(), bytes.size());
    EXPECT_GT(qv::recognize(f.type, v, f.length).length, 0u);
  }
  unsigned finds = 0;

 private:
  uint64_t diskSize_;
};
}  // namespace

// Bytes of the boot sectors, tables, directories and file records changed
// at random: the readers must neither crash (the sanitizers watch) nor hand
// on anything but whole pictures.
namespace {

// Notes how far the records' pass says it has got at each of its finds.
class ProgressAtEachFind : public qv::FindSink {
 public:
  explicit ProgressAtEachFind(const qv::RecordPassProgress& progress) : progress_(progress) {}
  void onFind(const qv::Find&, qv::View&) override {
    seen.emplace_back(progress_.checked.load(), progress_.size.load());
  }
  std::vector<std::pair<uint64_t, uint64_t>> seen;

 private:
  const qv::RecordPassProgress& progress_;
};

}  // namespace

// The window's share of the search counts the records' pass: its pictures
// come while the content search has not searched a byte.
TEST_F(FileSystemsTest, TheRecordsPassTellsHowFarItHasGot) {
  for (const auto& [image, pictures] : expectedByImage()) {
    const std::vector<uint8_t> disk = readFile(images() + "/" + image);
    qv::MemorySource src(disk);
    qv::RecordPassProgress progress;
    ProgressAtEachFind sink(progress);
    const qv::RecordPassStats stats = qv::writeRecordedPictures(src, qv::kAllTypes, sink, &progress);
    ASSERT_EQ(sink.seen.size(), pictures.size()) << image;
    const uint64_t size = progress.size.load();
    EXPECT_GT(size, 0u) << image;
    EXPECT_LE(size, stats.records * disk.size()) << image;
    for (size_t i = 0; i < sink.seen.size(); ++i) {
      EXPECT_EQ(sink.seen[i].second, size) << image << ": known before the first picture is checked";
      EXPECT_LT(sink.seen[i].first, size) << image;
      if (i) EXPECT_GT(sink.seen[i].first, sink.seen[i - 1].first) << image;
    }
    EXPECT_EQ(progress.checked.load(), size) << image;
  }
  // The engine's last progress: both parts whole, every picture counted.
  const auto files = recover("mbr.img");
  const std::vector<uint8_t> bytes = readFile((out_ / "data.progress").string());
  qv::SearchProgress last;
  ASSERT_TRUE(qv::parseProgress(reinterpret_cast<const char*>(bytes.data()), bytes.size(), last));
  EXPECT_TRUE(last.ended);
  EXPECT_GT(last.recordsSize, 0u);
  EXPECT_EQ(last.recordsChecked, last.recordsSize);
  EXPECT_EQ(last.searched, last.size);
  EXPECT_EQ(last.found, files.size());
}

TEST_F(FileSystemsTest, DamagedRecordsAreSurvived) {
  std::mt19937 rng(14);
  for (const auto& [image, volumeStarts] :
       std::map<std::string, std::vector<uint64_t>>{{"mbr.img", {0, 2048 * 512, 28672 * 512}}, {"gpt.img", {0, 2048 * 512}}}) {
    const std::vector<uint8_t> clean = readFile(images() + "/" + image);
    for (int round = 0; round < 60; ++round) {
      std::vector<uint8_t> disk = clean;
      const uint64_t base = volumeStarts[rng() % volumeStarts.size()];
      for (int k = 0; k < 16; ++k) disk[base + rng() % (64 << 10)] = uint8_t(rng());
      qv::MemorySource src(disk);
      CheckingSink sink(disk.size());
      qv::writeRecordedPictures(src, qv::kAllTypes, sink);
    }
  }
}

namespace {

// Where the NTFS records whose $FILE_NAME is `name` (ASCII) hold that
// attribute's value: pairs of record and value offsets in the disk.
std::vector<std::pair<size_t, size_t>> ntfsNames(const std::vector<uint8_t>& disk, size_t volume, const std::string& name) {
  std::vector<std::pair<size_t, size_t>> found;
  for (size_t at = volume; at + 1024 <= disk.size(); at += 1024) {
    const uint8_t* r = &disk[at];
    if (std::memcmp(r, "FILE", 4) != 0) continue;
    for (size_t a = qv::le16(r + 20); a + 24 <= 1024;) {
      const uint32_t type = qv::le32(r + a), len = qv::le32(r + a + 4);
      if (type == 0xFFFFFFFF || len < 24 || a + len > 1024) break;
      const size_t v = a + qv::le16(r + a + 20);
      bool same = type == 0x30 && v + 66 + 2 * name.size() <= 1024 && r[v + 64] == name.size();
      for (size_t i = 0; same && i < name.size(); ++i) same = r[v + 66 + 2 * i] == name[i] && r[v + 67 + 2 * i] == 0;
      if (same) found.push_back({at, at + v});
      a += len;
    }
  }
  return found;
}

class FolderSink : public qv::FindSink {
 public:
  void onFind(const qv::Find& f, qv::View&) override { folders[f.name] = f.folder; }
  std::map<std::string, std::string> folders;
};

std::string folderOf(const std::vector<uint8_t>& disk, const std::string& name) {
  qv::MemorySource src(disk);
  FolderSink sink;
  qv::writeRecordedPictures(src, qv::kAllTypes, sink);
  return sink.folders.count(name) ? sink.folders[name] : "(not written)";
}

}  // namespace

// \DCIM\100CANON\IMG_0001.JPG, all deleted: a folder whose record was used
// again since (its sequence number moved on) is not taken for the old one,
// and a loop of parents ends.
TEST_F(FileSystemsTest, NtfsFoldersAreNotMadeUpFromReusedOrLoopingRecords) {
  const std::vector<uint8_t> clean = readFile(images() + "/mbr.img");
  const size_t volume = 28672 * 512;
  const auto dcim = ntfsNames(clean, volume, "DCIM"), canon = ntfsNames(clean, volume, "100CANON"),
             file = ntfsNames(clean, volume, "IMG_0001.JPG");
  ASSERT_FALSE(dcim.empty());
  ASSERT_FALSE(canon.empty());
  ASSERT_FALSE(file.empty());
  ASSERT_EQ(folderOf(clean, "IMG_0001.jpg"), "\\DCIM\\100CANON");

  auto reused = [&](const std::vector<std::pair<size_t, size_t>>& dir) {
    std::vector<uint8_t> disk = clean;
    disk[dir[0].first + 16] = uint8_t(disk[dir[0].first + 16] + 2);  // sequence number
    return disk;
  };
  EXPECT_EQ(folderOf(reused(dcim), "IMG_0001.jpg"), "\\?\\100CANON");
  EXPECT_EQ(folderOf(reused(canon), "IMG_0001.jpg"), "");

  // DCIM's parent made 100CANON, as the file's reference names it.
  std::vector<uint8_t> loop = clean;
  for (const auto& [record, value] : dcim) std::memcpy(&loop[value], &clean[file[0].second], 8);
  const std::string folder = folderOf(loop, "IMG_0001.jpg");
  EXPECT_EQ(folder.compare(0, 3, "\\?\\"), 0) << folder;
  EXPECT_EQ(folder.substr(folder.size() - 14), "\\DCIM\\100CANON") << folder;
  EXPECT_EQ(std::count(folder.begin(), folder.end(), '\\'), 65) << folder;  // 64 names after "\?"
}

// Photos partly overwritten after they were deleted: each whose data still
// starts as a JPEG is written at its record's length under its name, the
// damaged ones marked with the share that decodes, the whole one unmarked
// and byte for byte; the one whose header is gone is not written from the
// records (nothing says its clusters still hold that picture).
TEST_F(FileSystemsTest, DamagedPhotosFromTheRecordsAreWrittenWholeLengthAndMarked) {
  struct Want {
    bool damaged;
    std::string original;
  };
  std::map<std::string, Want> wanted;
  std::ifstream tsv(images() + "/damaged.tsv");
  for (std::string line; std::getline(tsv, line);) {
    std::istringstream cols(line);
    std::string name, state, original;
    std::getline(cols, name, '\t');
    std::getline(cols, state, '\t');
    std::getline(cols, original, '\t');
    wanted[name] = Want{state == "damaged", original};
  }
  ASSERT_EQ(wanted.size(), 5u);
  const auto files = recover("damaged.img");
  const std::vector<uint8_t> bytes = readFile((out_ / "data.finds").string());
  std::vector<qv::FindsEntry> lines;
  qv::parseFindsText(std::string(bytes.begin(), bytes.end()), 0, lines);
  ASSERT_EQ(lines.size(), 5u);
  for (const qv::FindsEntry& line : lines) {
    const std::string name = line.file.substr(line.file.rfind('\\') + 1);
    ASSERT_EQ(wanted.count(name), 1u) << name;
    const Want& want = wanted[name];
    EXPECT_EQ(line.folder, "\\DCIM");
    EXPECT_EQ(line.damaged, want.damaged) << name;
    ASSERT_EQ(files.count(name), 1u) << name;
    const std::vector<uint8_t> written = readFile(files.at(name));
    EXPECT_EQ(written.size(), readFile(want.original).size()) << name;
    if (!line.damaged) {
      EXPECT_EQ(written, readFile(want.original)) << name;
      EXPECT_EQ(line.decodes, -1);
    } else if (name.size() > 4 && name.compare(name.size() - 4, 4, ".jpg") == 0) {
      // 1200 rows of 16: the hole lies in the middle, the overwritten end
      // starts 60% in; JPEG's data is not spread evenly over its rows, so
      // only the neighbourhood is sure.
      EXPECT_GE(line.decodes, name == "_MG_0102.jpg" ? 25 : 35) << name;
      EXPECT_LE(line.decodes, name == "_MG_0102.jpg" ? 75 : 80) << name;
    } else {
      EXPECT_EQ(line.decodes, -1) << name;  // no share is known of them
    }
  }
}
