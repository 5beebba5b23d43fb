// The native photo program end to end: command line, output folder, files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

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
  EXPECT_NE(run(photo(), "/d \"" + out.string() + "\" /cmd " + img + " fileopt,everything,disable,raw,enable,search"), 0);
  EXPECT_NE(run(photo(), "/d \"" + out.string() + "\" /cmd /dev/sdzz-nothing " + kAll), 0);
  EXPECT_FALSE(fs::exists(out));
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
