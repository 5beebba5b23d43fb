#include "record_pass.h"

#include <algorithm>
#include <cctype>
#include <string>
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

// The extension a damaged RAW keeps from its record: its data no longer
// tells the family, its name still does.
const char* rawExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return nullptr;
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  for (const char* known : {"cr2", "nef", "nrw", "arw", "sr2", "srf", "dng", "pef", "srw", "orf", "rw2", "rwl", "raf"})
    if (ext == known) return known;
  return nullptr;
}

// What the record's data is: the type, if it is a picture of an enabled
// type (with its extension when the type has several), and whether it is
// whole; -1 if it is none. A picture whose data does not check out whole
// is still one when it starts as its type does (its signature, or an ISO
// media file's brand; a TIFF-based or other RAW only when its record's name
// says which): it is then written damaged, at the record's length.
int recordedPicture(FileView& view, const FileRecord& r, unsigned types, Find& f) {
  uint8_t head[kSignatureBytes] = {};
  if (!view.read(0, head, std::min<uint64_t>(sizeof head, r.size))) return -1;
  int t = candidateType(head, types);
  const bool isoMedia = t < 0 && (t = isoMediaType(head, types)) >= 0;
  if (t < 0 || r.size > maxPictureSize(PicType(t))) return -1;
  // The record says where the file ends: an ISO media file's last box may
  // run to there (size 0).
  Recognition rec = isoMedia ? recognizeIsoMediaFile(view, r.size) : recognize(PicType(t), view, r.size);
  if (rec.length) {
    const PicType found = foundType(PicType(t), rec);
    if (types & typeBit(found) && (found != PicType::Jpg || jpegDataFits(view, rec.length))) {
      f.type = found;
      f.ext = rec.ext;
      return int(found);
    }
    if (found != PicType::Jpg) return -1;
  }
  PicType damaged = PicType(t);
  const char* ext = nullptr;
  if (isoMedia) {
    // The brand told the family: Canon's CR3 is the only RAW among them.
    if (damaged == PicType::Raw) ext = "cr3";
  } else if (damaged == PicType::Tif || damaged == PicType::Raw) {
    if ((ext = rawExtension(r.name)) != nullptr) damaged = PicType::Raw;
  }
  if (!(types & typeBit(damaged)) || (damaged == PicType::Raw && !ext)) return -1;
  f.type = damaged;
  f.ext = ext;
  f.damaged = true;
  f.decodes = damaged == PicType::Jpg ? jpegDecodableShare(view, r.size) : -1;
  return int(damaged);
}

}  // namespace

RecordPassStats writeRecordedPictures(ByteSource& src, unsigned types, FindSink& sink, RecordPassProgress* progress) {
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
  // A record may claim any size; none counts for more than the disk holds.
  const auto weight = [&src](const FileRecord& r) { return std::min<uint64_t>(r.size, src.size()); };
  uint64_t total = 0, checked = 0;
  for (const FileRecord& r : records) total += weight(r);
  if (progress) progress->size.store(total, std::memory_order_relaxed);
  for (const FileRecord& r : records) {
    if (progress) progress->checked.store(checked, std::memory_order_relaxed);
    checked += weight(r);
    const uint64_t start = r.start();
    if (!start || stats.starts.count(start)) continue;
    FileView view(disk, r);
    Find f{PicType::Jpg, start, r.size};
    const int t = recordedPicture(view, r, types, f);
    if (t < 0) continue;
    f.name = pictureFileName(r.name, f.type, f.ext);
    f.mtime = r.mtime;
    f.fromRecord = true;
    f.folder = r.folder;
    f.deleted = r.deleted;
    FileView data(disk, r);
    sink.onFind(f, data);
    stats.starts.insert(start);
    ++stats.written;
    if (f.damaged) ++stats.damaged;
  }
  if (progress) progress->checked.store(checked, std::memory_order_relaxed);
  return stats;
}

}  // namespace qv
