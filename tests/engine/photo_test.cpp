// The native photo program end to end: command line, output folder, files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "progress_file.h"

#include "support.h"

namespace fs = std::filesystem;
using qvtest::readFile;

namespace {

const std::string kAll = "fileopt,everything,disable,jpg,enable,gif,enable,png,enable,bmp,enable,tif,enable,search";

class PhotoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qv-photo-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  int run(const std::string& exe, const std::string& args) {
    std::string cmd = "'" + exe + "' " + args + " >/dev/null 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string photo() const { return std::string(QV_ENGINE_BIN) + "/photo"; }

  std::map<std::string, std::vector<uint8_t>> outputs(const fs::path& out) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& e : fs::recursive_directory_iterator(out))
      if (e.is_regular_file()) files[e.path().filename().string()] = readFile(e.path().string());
    return files;
  }

  fs::path dir_;
};

}  // namespace

TEST_F(PhotoTest, RecoversACardIntoANewOutputFolder) {
  fs::path out = dir_ / "data" / "temp";
  std::string img = qvtest::samples() + "/deleted.img";
  ASSERT_EQ(run(photo(), "/d \"" + out.string() + "\" /cmd " + img + " " + kAll), 0);
  auto files = outputs(out);
  EXPECT_EQ(files.size(), qvtest::allPictures().size());
  for (const auto& [name, bytes] : files) {
    EXPECT_EQ(name.find(".part"), std::string::npos);
    std::string ext = name.substr(name.rfind('.'));
    bool matched = false;
    for (const std::string& p : qvtest::allPictures())
      matched = matched || (p.substr(p.rfind('.')) == ext && readFile(qvtest::pic(p)) == bytes);
    EXPECT_TRUE(matched) << name;
  }
}

TEST_F(PhotoTest, ACommandLineItDoesNotUnderstandWritesNothing) {
  fs::path out = dir_ / "out";
  std::string img = qvtest::samples() + "/deleted.img";
  EXPECT_NE(run(photo(), ""), 0);
  EXPECT_NE(run(photo(), "/d \"" + out.string() + "\" /cmd " + img + " fileopt,everything,disable,jpg,enable"), 0);
  EXPECT_NE(run(photo(), "/d \"" + out.string() + "\" /cmd " + img + " fileopt,everything,disable,jpeg,enable,search"), 0);
  EXPECT_NE(run(photo(), "/d \"" + out.string() + "\" /cmd /dev/sdzz-nothing " + kAll), 0);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(dir_.string() + ".progress"));
}

TEST_F(PhotoTest, DeviceTableMapsADiskNameToAnImage) {
  fs::path engine = dir_ / "engine";
  fs::create_directories(engine / "63" / "cygwin");
  fs::copy_file(photo(), engine / "photo");
  std::ofstream(engine / "63" / "cygwin" / "devices")
      << "# test\n/dev/sdq=" << qvtest::samples() << "/formatted.img\n";
  fs::path out = dir_ / "out";
  ASSERT_EQ(run((engine / "photo").string(), "/d \"" + out.string() + "\" /cmd /dev/sdq fileopt,everything,disable,gif,enable,search"), 0);
  auto files = outputs(out);
  EXPECT_EQ(files.size(), 3u);
  for (const auto& f : files) EXPECT_EQ(f.first.substr(f.first.size() - 4), ".gif");
}

TEST_F(PhotoTest, ProgressFileMovesDuringTheSearchAndReachesTheWholeSize) {
  // A sparse image: large enough for the search to take a while, no disk space.
  const fs::path img = dir_ / "big.img";
  const uint64_t size = 512ull << 20;
  std::ofstream(img).close();
  fs::resize_file(img, size);
  const fs::path data = dir_ / "data";
  const std::string progress = data.string() + ".progress";
  const std::string cmd = "'" + photo() + "' /d \"" + (data / "temp").string() + "\" /cmd " + img.string() + " " + kAll +
                          " >/dev/null 2>&1";
  std::thread engine([&] { EXPECT_EQ(std::system(cmd.c_str()), 0); });
  std::vector<qv::SearchProgress> seen;
  for (;;) {
    const std::vector<uint8_t> bytes = readFile(progress);
    qv::SearchProgress p;
    if (qv::parseProgress(reinterpret_cast<const char*>(bytes.data()), bytes.size(), p)) {
      if (seen.empty() || seen.back().searched != p.searched || seen.back().ended != p.ended) seen.push_back(p);
      if (p.ended) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  engine.join();
  ASSERT_GE(seen.size(), 2u);
  EXPECT_FALSE(seen.front().ended);
  EXPECT_LT(seen.front().searched, size);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i].searched, seen[i - 1].searched);
  EXPECT_EQ(seen.back().searched, size);
  EXPECT_EQ(seen.back().size, size);
  EXPECT_EQ(seen.back().found, 0u);
  // Beside the data folder, not in it, and no temporary file left.
  EXPECT_FALSE(fs::exists(progress + ".tmp"));
  for (const auto& e : fs::recursive_directory_iterator(data)) EXPECT_TRUE(e.is_directory()) << e.path();
}

TEST_F(PhotoTest, FinalProgressCountsTheFinds) {
  const fs::path data = dir_ / "data";
  ASSERT_EQ(run(photo(), "/d \"" + (data / "temp").string() + "\" /cmd " + qvtest::samples() + "/deleted.img " + kAll), 0);
  const std::vector<uint8_t> bytes = readFile(data.string() + ".progress");
  qv::SearchProgress p;
  ASSERT_TRUE(qv::parseProgress(reinterpret_cast<const char*>(bytes.data()), bytes.size(), p));
  EXPECT_TRUE(p.ended);
  EXPECT_EQ(p.searched, fs::file_size(qvtest::samples() + "/deleted.img"));
  EXPECT_EQ(p.found, qvtest::allPictures().size());
}

TEST_F(PhotoTest, TheCopyIsTheCardAndNeverReplacesAFileThatIsThere) {
  const std::string img = qvtest::samples() + "/deleted.img";
  const std::vector<uint8_t> card = readFile(img);
  const fs::path copy = dir_ / "Copy of E.img";
  ASSERT_EQ(run(photo(), "/d \"" + (dir_ / "out").string() + "\" /copy \"" + copy.string() + "\" /cmd " + img + " " + kAll), 0);
  EXPECT_TRUE(readFile(copy.string()) == card);
  const std::string map(reinterpret_cast<const char*>(readFile((dir_ / "Copy of E.map").string()).data()),
                        readFile((dir_ / "Copy of E.map").string()).size());
  EXPECT_EQ(map, "quorvane disk copy\nsize " + std::to_string(card.size()) + "\ncomplete " +
                     std::to_string(card.size() / 512) + "\ncopied 0 " + std::to_string(card.size() / 512) + "\n");

  // The copy searched with its map finds what the card gave.
  ASSERT_EQ(run(photo(), "/d \"" + (dir_ / "again").string() + "\" /cmd \"" + copy.string() + "\" " + kAll), 0);
  EXPECT_EQ(outputs(dir_ / "again"), outputs(dir_ / "out"));

  // A copy over a file that is there, the very image read among them: the
  // engine ends at once and the file stays as it was.
  EXPECT_EQ(run(photo(), "/d \"" + (dir_ / "x").string() + "\" /copy \"" + copy.string() + "\" /cmd \"" + copy.string() + "\" " + kAll), 5);
  EXPECT_TRUE(readFile(copy.string()) == card);
  EXPECT_FALSE(fs::exists(dir_ / "x" / "d0001"));
}
