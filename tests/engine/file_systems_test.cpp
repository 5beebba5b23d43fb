// The native engine on disks with real file systems (make_fs_images.sh):
// deleted pictures come back from the records under their names and dates,
// byte for byte, fragmented NTFS files included; a formatted volume still
// gives the content search's finds; damaged records are survived.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "fs/record_pass.h"
#include "recognizers.h"
#include "source.h"
#include "support.h"

namespace fs = std::filesystem;
using qvtest::readFile;

namespace {

const std::string kAll = "fileopt,everything,disable,jpg,enable,gif,enable,png,enable,bmp,enable,tif,enable,search";

std::string images() { return QV_FS_IMAGES; }

struct Expected {
  std::string name;
  std::string source;
};

std::map<std::string, std::vector<Expected>> expectedByImage() {
  std::map<std::string, std::vector<Expected>> all;
  std::ifstream in(images() + "/expected.tsv");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream cols(line);
    std::string image, name, source;
    std::getline(cols, image, '\t');
    std::getline(cols, name, '\t');
    std::getline(cols, source, '\t');
    all[image].push_back(Expected{name, source});
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

  // Runs photo on the image; the files it wrote by name, with their paths.
  std::map<std::string, std::string> recover(const std::string& image, const std::string& types = kAll,
                                             const std::string& env = "") {
    fs::remove_all(out_);
    const std::string cmd = env + "'" + std::string(QV_ENGINE_BIN) + "/photo' /d '" + out_.string() + "' /cmd '" +
                            images() + "/" + image + "' " + types + " >/dev/null 2>&1";
    const int status = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << image;
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(out_))
      if (e.is_regular_file()) EXPECT_TRUE(files.emplace(e.path().filename().string(), e.path().string()).second);
    return files;
  }

  fs::path out_;
};

}  // namespace

TEST_F(FileSystemsTest, EveryDeletedPictureComesBackUnderItsNameAndDateExactlyOnce) {
  const auto expected = expectedByImage();
  ASSERT_EQ(expected.size(), 2u);
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
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files.begin()->first, "old pic.png");
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

TEST_F(FileSystemsTest, AnyNumberOfSearchThreadsWritesTheSameFolder) {
  for (const char* image : {"mbr.img", "gpt.img", "ntfs-formatted.img"}) {
    SCOPED_TRACE(image);
    // Every file by its path in the folder: bytes and time.
    std::map<std::string, std::pair<std::vector<uint8_t>, time_t>> first;
    for (const char* threads : {"1", "2", "7"}) {
      std::map<std::string, std::pair<std::vector<uint8_t>, time_t>> folder;
      recover(image, kAll, std::string("QV_ENGINE_THREADS=") + threads + " ");
      for (const auto& e : fs::recursive_directory_iterator(out_))
        if (e.is_regular_file())
          folder[fs::relative(e.path(), out_).string()] = {readFile(e.path().string()), mtimeOf(e.path().string())};
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
