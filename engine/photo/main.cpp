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
#include "../core/disk_copy.h"
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

namespace {

// The copy of the disk on the runtime's files.
class ImageTarget : public qv::CopyTarget {
 public:
  ImageTarget(QvImageFile* image, std::string mapPath) : image_(image), mapPath_(std::move(mapPath)) {}
  bool write(uint64_t offset, const uint8_t* data, size_t n) override {
    return qvrt_image_write(image_, offset, data, n) == 0;
  }
  bool saveMap(const std::string& text) override {
    return qvrt_save_file(mapPath_.c_str(), text.data(), text.size()) == 0;
  }

 private:
  QvImageFile* image_;
  const std::string mapPath_;
};

// A disk image with a copy's map beside it: the map says which of its
// sectors hold the disk's bytes. False when there is none (or it is not one).
bool readCopyMap(const std::string& device, qv::CopyMap& map) {
  const std::string path = qv::copyMapPath(device);
  const long long size = qvrt_read_file(path.c_str(), nullptr, 0);
  if (size <= 0 || size > (256 << 20)) return false;
  std::string text(size_t(size), '\0');
  if (qvrt_read_file(path.c_str(), &text[0], text.size()) != size) return false;
  return qv::parseCopyMap(text, map);
}

}  // namespace

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
  // A copy of the disk, when asked for: made before anything is read, so
  // that nothing is read from a dying disk without it.
  QvImageFile* image = nullptr;
  if (!cmd.copyPath.empty()) {
    image = qvrt_image_create(cmd.copyPath.c_str(), qvrt_device_size(dev));
    if (!image) {
      std::fprintf(stderr, "photo: cannot create the copy %s\n", cmd.copyPath.c_str());
      qvrt_close_device(dev);
      return 5;
    }
  }
  // A copy searched later: what its map does not name as copied is
  // unreadable.
  qv::CopyMap copiedBefore;
  const bool searchingCopy = readCopyMap(cmd.device, copiedBefore) && copiedBefore.size == qvrt_device_size(dev);
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
  auto* mapped = searchingCopy ? new qv::MappedImageMedium(*disk, copiedBefore) : nullptr;
  bool copyKept = true;
  {
    qv::TimeLimitedMedium timed(mapped ? static_cast<qv::Medium&>(*mapped) : *disk, std::chrono::milliseconds(limitMs));
    std::unique_ptr<ImageTarget> target;
    std::unique_ptr<qv::CopyingMedium> copying;
    if (image) {
      target = std::make_unique<ImageTarget>(image, qv::copyMapPath(cmd.copyPath));
      copying = std::make_unique<qv::CopyingMedium>(timed, *target);
    }
    qv::CarefulSource src(copying ? static_cast<qv::Medium&>(*copying) : timed);
    if (copying) {
      copying->setSettled([&src](qv::SectorRuns& unreadable, qv::SectorRuns& notRead) {
        unreadable = src.unreadableRuns();
        // Skipped over, or asked for and not answered: either may read.
        notRead = src.skippedRuns();
        const qv::SectorRuns givenUp = src.givenUpRuns();
        notRead.insert(notRead.end(), givenUp.begin(), givenUp.end());
      });
      // A map from the start: nothing copied yet.
      copying->finish();
    }
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
    if (copying) copyKept = copying->finish();
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
    delete mapped;
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
  if (image) {
    qvrt_image_close(image);
    if (!copyKept) std::printf("photo: the copy of the disk could not be written in full; its map names what it holds\n");
  }
  std::fflush(stdout);
  return 0;
}
