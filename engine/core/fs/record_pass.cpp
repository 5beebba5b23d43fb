#include "record_pass.h"

#include <algorithm>
#include <vector>

#include "../iso_media.h"
#include "../jpeg_stream.h"
#include "../recognizers.h"
#include "../signature.h"
#include "disk_reader.h"
#include "exfat.h"
#include "fat.h"
#include "file_name.h"
#include "file_view.h"
#include "ntfs.h"
#include "partitions.h"

namespace qv {
namespace {

// More picture files than any disk holds: the rest of a hostile volume's
// records are left to the content search.
constexpr size_t kMaxRecords = 1 << 20;

// The type the data has, if it is whole and of an enabled type (with its
// extension when the type has several); -1 if not.
int wholePicture(FileView& view, const FileRecord& r, unsigned types, const char*& ext) {
  uint8_t head[kSignatureBytes] = {};
  if (!view.read(0, head, std::min<uint64_t>(sizeof head, r.size))) return -1;
  int t = candidateType(head, types);
  const bool isoMedia = t < 0 && (t = isoMediaType(head, types)) >= 0;
  if (t < 0 || r.size > maxPictureSize(PicType(t))) return -1;
  // The record says where the file ends: an ISO media file's last box may
  // run to there (size 0).
  Recognition rec = isoMedia ? recognizeIsoMediaFile(view, r.size) : recognize(PicType(t), view, r.size);
  if (!rec.length) return -1;
  const PicType found = foundType(PicType(t), rec);
  if (!(types & typeBit(found))) return -1;
  if (found == PicType::Jpg && !jpegDataFits(view, rec.length)) return -1;
  ext = rec.ext;
  return int(found);
}

}  // namespace

RecordPassStats writeRecordedPictures(ByteSource& src, unsigned types, FindSink& sink) {
  RecordPassStats stats;
  DiskReader disk(src);
  std::vector<FileRecord> records;
  const RecordOut keep = [&](FileRecord&& r) {
    if (records.size() < kMaxRecords) records.push_back(std::move(r));
  };
  for (const Volume& v : findVolumes(disk))
    if (readNtfsVolume(disk, v, keep) || readExfatVolume(disk, v, keep) || readFatVolume(disk, v, keep))
      ++stats.volumes;
  stats.records = records.size();
  // Clusters of a deleted file that a live one now uses hold the live file.
  std::stable_sort(records.begin(), records.end(),
                   [](const FileRecord& a, const FileRecord& b) { return !a.deleted && b.deleted; });
  for (const FileRecord& r : records) {
    const uint64_t start = r.start();
    if (!start || stats.starts.count(start)) continue;
    FileView view(disk, r);
    const char* ext = nullptr;
    const int t = wholePicture(view, r, types, ext);
    if (t < 0) continue;
    Find f{PicType(t), start, r.size};
    f.ext = ext;
    f.name = pictureFileName(r.name, PicType(t), ext);
    f.mtime = r.mtime;
    f.fromRecord = true;
    f.folder = r.folder;
    f.deleted = r.deleted;
    FileView data(disk, r);
    sink.onFind(f, data);
    stats.starts.insert(start);
    ++stats.written;
  }
  return stats;
}

}  // namespace qv
