// photo: searches a disk or disk image for pictures and writes each one it
// finds into the output folder.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../core/background_sink.h"
#include "../core/careful_source.h"
#include "../core/command_line.h"
#include "../core/finds_file.h"
#include "../core/fs/record_pass.h"
#include "../core/part_search.h"
#include "../core/progress_reporter.h"
#include "../core/read_cache.h"
#include "../core/scanner.h"
#include "../core/time_limited_medium.h"
#include "../runtime/qvrt.h"
#include "output_sink.h"
#include "runtime_medium.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  qv::EngineCommand cmd;
  std::string error;
  if (!qv::parseCommandLine(args, cmd, error)) {
    std::fprintf(stderr, "photo: %s\n", error.c_str());
    return 2;
  }
  QvDevice* dev = qvrt_open_device(cmd.device.c_str());
  if (!dev) {
    std::fprintf(stderr, "photo: cannot open %s\n", cmd.device.c_str());
    return 3;
  }
  if (qvrt_make_dirs(cmd.outDir.c_str()) != 0) {
    std::fprintf(stderr, "photo: cannot create %s\n", cmd.outDir.c_str());
    qvrt_close_device(dev);
    return 4;
  }
  // A read the disk has not answered after this long is given up.
  unsigned limitMs = 10000;
  if (const char* ms = std::getenv("QV_READ_TIME_LIMIT_MS")) limitMs = unsigned(std::strtoul(ms, nullptr, 10));
  if (!limitMs) limitMs = 10000;
  qvrt_set_cancel_after(dev, limitMs / 10 * 9);
  qv::ScanStats stats;
  unsigned written = 0;
  uint64_t unreadable = 0, givenUp = 0, bytesRead = 0, givenUpReads = 0;
  bool readsLeftBehind = false;
  // A read left behind may come back after the search; the disk stays open
  // for it until the program ends.
  auto* disk = new qv::RuntimeMedium(dev);
  {
    qv::TimeLimitedMedium timed(*disk, std::chrono::milliseconds(limitMs));
    qv::CarefulSource src(timed);
    // Started afresh with each search, like the output folder.
    const std::string findsPath = qv::findsFilePath(cmd.outDir);
    QvAppendFile* finds = findsPath.empty() ? nullptr : qvrt_append_create(findsPath.c_str());
    if (finds) qvrt_append(finds, qv::kFindsHeader, std::strlen(qv::kFindsHeader));
    qv::OutputSink files(cmd.outDir, finds);
    const uint64_t size = src.size();
    qv::ScanProgress live;
    qv::RecordPassProgress records;
    // Every find on its way to the output folder, from the records and from
    // the content search alike.
    std::atomic<uint64_t> handedOn{0};
    // The records' pass and the content search read the disk through it:
    // once.
    qv::ReadCache once(src, live.searched);
    auto sample = [&] {
      qv::SearchProgress p;
      p.searched = live.searched.load(std::memory_order_relaxed);
      p.size = size;
      p.found = handedOn.load(std::memory_order_relaxed);
      p.recordsChecked = records.checked.load(std::memory_order_relaxed);
      p.recordsSize = records.size.load(std::memory_order_relaxed);
      // Read apart, the two may disagree for a moment.
      p.recordsChecked = std::min(p.recordsChecked, p.recordsSize);
      p.unreadable = src.unreadableSectors();
      p.givenUp = src.givenUpSectors();
      return p;
    };
    const std::string progressPath = qv::progressFilePath(cmd.outDir);
    std::unique_ptr<qv::ProgressReporter> progress;
    if (!progressPath.empty())
      progress = std::make_unique<qv::ProgressReporter>(
          sample,
          [&progressPath](const std::string& text) {
            return qvrt_replace_file(progressPath.c_str(), text.data(), text.size()) == 0;
          },
          std::chrono::milliseconds(500));
    {
      qv::BackgroundSink background(files, 64 << 20);
      qv::CountingSink sink(background, handedOn);
      qv::ScanOptions opts;
      opts.types = cmd.types;
      opts.progress = &live;
      // Tests and benchmarks compare thread counts; the finds are the same.
      if (const char* threads = std::getenv("QV_ENGINE_THREADS")) opts.threads = unsigned(std::strtoul(threads, nullptr, 10));
      if (opts.types) {
        const qv::RecordPassStats recorded = qv::writeRecordedPictures(once, opts.types, sink, &records);
        qv::SkipRecorded unrecorded(sink, recorded.starts);
        stats = qv::scan(once, opts, unrecorded);
        // Then back for what dead stretches hid, from their far ends.
        const qv::ScanStats won = qv::searchParts(src, src.readBack(), opts, unrecorded);
        stats.finds += won.finds;
      }
    }
    qvrt_append_close(finds);
    written = files.written();
    unreadable = src.unreadableSectors();
    givenUp = src.givenUpSectors();
    givenUpReads = timed.givenUpReads();
    readsLeftBehind = timed.abandonedReads() > 0;
    // Ended only once every find is written: the program may take the
    // folder as complete from then on.
    if (progress) {
      qv::SearchProgress last = sample();
      last.searched = stats.bytes;
      last.found = written;  // pictures from the records included
      progress->finish(last);
    }
  }
  bytesRead = disk->bytesRead();
  QvSlowReads slow;
  qvrt_slow_reads(dev, &slow);
  if (!readsLeftBehind) {
    delete disk;
    qvrt_close_device(dev);
  }
  std::printf("photo: %u pictures recovered, %llu bytes searched, %llu sectors unreadable\n", written,
              static_cast<unsigned long long>(stats.bytes), static_cast<unsigned long long>(unreadable));
  std::printf("photo: %llu bytes read from the disk; %llu reads given up (%llu sectors); slow reads: %llu cancels"
              " asked, %llu cancelled, %llu not cancelled, %llu never pending\n",
              static_cast<unsigned long long>(bytesRead), static_cast<unsigned long long>(givenUpReads),
              static_cast<unsigned long long>(givenUp), static_cast<unsigned long long>(slow.asked),
              static_cast<unsigned long long>(slow.cancelled),
              static_cast<unsigned long long>(slow.ignored), static_cast<unsigned long long>(slow.late));
  std::fflush(stdout);
  return 0;
}
