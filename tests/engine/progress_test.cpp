// The progress file: its text, the reporter's thread, and the file replaced
// under a reader that keeps reading it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "progress_file.h"
#include "progress_reporter.h"
#include "qvrt.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

bool parse(const std::string& text, qv::SearchProgress& p) { return qv::parseProgress(text.data(), text.size(), p); }

}  // namespace

TEST(ProgressFile, ReadsBackWhatWasWritten) {
  qv::SearchProgress in;
  in.searched = 18446744073709551615ull - 1;
  in.size = 18446744073709551615ull;
  in.found = 412;
  in.unreadable = 12;
  in.givenUp = 8;
  in.ended = true;
  qv::SearchProgress out;
  ASSERT_TRUE(parse(qv::formatProgress(in), out));
  EXPECT_EQ(out.givenUp, 8u);
  EXPECT_EQ(out.searched, in.searched);
  EXPECT_EQ(out.size, in.size);
  EXPECT_EQ(out.found, 412u);
  EXPECT_EQ(out.unreadable, 12u);
  EXPECT_TRUE(out.ended);

  // Windows line ends and keys a later engine may add are fine.
  ASSERT_TRUE(parse("searched=1\r\nsize=2\r\nrate=9\r\nfound=0\r\nunreadable=0\r\nended=0\r\nend\r\n", out));
  EXPECT_EQ(out.size, 2u);
  EXPECT_FALSE(out.ended);
  EXPECT_EQ(out.givenUp, 0u) << "an older engine's file gives up nothing";
  EXPECT_EQ(out.recordsSize, 0u) << "nor tells a records' pass";
  EXPECT_EQ(qv::progressTotal(out), 2u);
}

TEST(ProgressFile, TheRecordsPassCountsInTheWholeSearchsShare) {
  qv::SearchProgress in;
  in.searched = 40;
  in.size = 100;
  in.recordsChecked = 30;
  in.recordsSize = 50;
  qv::SearchProgress out;
  ASSERT_TRUE(parse(qv::formatProgress(in), out));
  EXPECT_EQ(out.recordsChecked, 30u);
  EXPECT_EQ(out.recordsSize, 50u);
  EXPECT_EQ(qv::progressDone(out), 70u);
  EXPECT_EQ(qv::progressTotal(out), 150u);
  for (const char* bad : {
           "searched=5\nsize=10\nfound=1\nunreadable=0\nrecords=3\nended=0\nend\n",               // alone
           "searched=5\nsize=10\nfound=1\nunreadable=0\nrecordsize=3\nended=0\nend\n",            // alone
           "searched=5\nsize=10\nfound=1\nunreadable=0\nrecords=4\nrecordsize=3\nended=0\nend\n",  // past its size
           "searched=5\nsize=10\nfound=1\nunreadable=0\nrecords=0\nrecordsize=18446744073709551610\nended=0\nend\n",
       })
    EXPECT_FALSE(parse(bad, out)) << bad;
}

TEST(ProgressFile, RefusesAnythingButAWholeConsistentFile) {
  const std::string whole = qv::formatProgress({5, 10, 1, 0, false});
  qv::SearchProgress out;
  // Every cut-off version of a valid file, as a reader could see one that
  // is written in place, is refused.
  for (size_t n = 0; n < whole.size(); ++n) EXPECT_FALSE(parse(whole.substr(0, n), out)) << n;
  for (const char* bad : {
           "searched=5\nsize=10\nfound=1\nunreadable=0\nended=0\n",                    // no end
           "searched=5\nsize=10\nfound=1\nunreadable=0\nend\n",                        // key missing
           "searched=5\nsize=10\nfound=1\nfound=2\nunreadable=0\nended=0\nend\n",      // twice
           "searched=11\nsize=10\nfound=1\nunreadable=0\nended=0\nend\n",              // past the end
           "searched=5\nsize=10\nfound=-1\nunreadable=0\nended=0\nend\n",              // sign
           "searched=5\nsize=10\nfound= 1\nunreadable=0\nended=0\nend\n",              // space
           "searched=5\nsize=10\nfound=\nunreadable=0\nended=0\nend\n",                // empty
           "searched=5\nsize=18446744073709551616\nfound=1\nunreadable=0\nended=0\nend\n",  // overflow
           "searched=5\nsize=10\nfound=1\nunreadable=0\nended=2\nend\n",               // flag
           "searched=5\nsize=10\nfound=1\nunreadable=3\ngivenup=4\nended=0\nend\n",    // more given up than unreadable
           "searched=5\nsize=10\nfound=1\nunreadable=0\nended=0\nend\nsearched=9\n",  // after end
           "\xff\xfe garbage\n",
       })
    EXPECT_FALSE(parse(bad, out)) << bad;
}

TEST(ProgressFile, LiesBesideTheDataFolder) {
  EXPECT_EQ(qv::progressFilePath("C:\\Users\\a\\tarnwick-software\\data\\temp"),
            "C:\\Users\\a\\tarnwick-software\\data.progress");
  EXPECT_EQ(qv::progressFilePath("E:\\saved\\Quorvane work folder\\temp_1\\"),
            "E:\\saved\\Quorvane work folder.progress");
  EXPECT_EQ(qv::progressFilePath("/tmp/x/data/temp"), "/tmp/x/data.progress");
  // No data folder to stand beside: no file rather than one on a drive's root.
  for (const char* none : {"temp", "C:\\temp", "/temp", "./temp", "", "\\\\"})
    EXPECT_EQ(qv::progressFilePath(none), "") << none;
}

TEST(ProgressReporter, WritesWhileRunningAndEndsWithTheFinalFigures) {
  std::mutex mu;
  std::vector<std::string> written;
  std::atomic<uint64_t> searched{0};
  bool refuseFirstFinal = true;
  {
    qv::ProgressReporter reporter(
        [&] {
          qv::SearchProgress p;
          p.searched = searched.load();
          p.size = 100;
          return p;
        },
        [&](const std::string& text) {
          std::lock_guard<std::mutex> lock(mu);
          // The reader holds the file the first time the final figures come.
          if (text.find("ended=1") != std::string::npos && refuseFirstFinal) {
            refuseFirstFinal = false;
            return false;
          }
          written.push_back(text);
          return true;
        },
        std::chrono::milliseconds(5));
    for (int i = 1; i <= 50; ++i) {
      searched = uint64_t(i);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    reporter.finish({100, 100, 7, 3, false});
  }
  ASSERT_GE(written.size(), 3u);
  qv::SearchProgress p;
  ASSERT_TRUE(parse(written.front(), p));
  EXPECT_FALSE(p.ended);
  ASSERT_TRUE(parse(written.back(), p));
  EXPECT_TRUE(p.ended);
  EXPECT_EQ(p.searched, 100u);
  EXPECT_EQ(p.found, 7u);
  EXPECT_EQ(p.unreadable, 3u);
  // Nothing after the final figures.
  for (size_t i = 0; i + 1 < written.size(); ++i) EXPECT_EQ(written[i].find("ended=1"), std::string::npos);
}

TEST(ProgressReporter, AReaderNeverSeesATornFile) {
  const fs::path dir = fs::temp_directory_path() / ("qv-progress-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "data.progress").string();
  // Lengths differ, so a torn read would show as a mix of two versions.
  const std::string a = qv::formatProgress({7, 1000000000000ull, 1, 0, false});
  const std::string b = qv::formatProgress({999999999999ull, 1000000000000ull, 123456, 77, false});
  ASSERT_EQ(qvrt_replace_file(path.c_str(), a.data(), a.size()), 0);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 2000; ++i) {
      const std::string& t = i % 2 ? a : b;
      EXPECT_EQ(qvrt_replace_file(path.c_str(), t.data(), t.size()), 0);
    }
    done = true;
  });
  int reads = 0;
  while (!done) {
    const std::vector<uint8_t> bytes = qvtest::readFile(path);
    const std::string text(bytes.begin(), bytes.end());
    ASSERT_TRUE(text == a || text == b) << text;
    ++reads;
  }
  writer.join();
  EXPECT_GT(reads, 0);
  EXPECT_FALSE(fs::exists(path + ".tmp"));
  fs::remove_all(dir);
}
