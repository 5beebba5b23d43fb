// Writes every find as its own file under the output folder, a few hundred
// to a sub-folder: creating a file costs a scan of its folder where names are
// case-insensitive on a case-sensitive file system (Wine), so one huge folder
// would make the output quadratic. A file from a file system's records keeps
// its original name (numbered when its folder has it already) and time, and
// gets its line in the finds file (finds_file.h) before that name.
#pragma once
#include <string>

#include "../core/fs/file_name.h"
#include "../core/scanner.h"
#include "../runtime/qvrt.h"

namespace qv {

class OutputSink : public FindSink {
 public:
  // finds: the finds file, or null for none.
  OutputSink(std::string dir, QvAppendFile* finds) : dir_(std::move(dir)), finds_(finds) {}
  void onFind(const Find& find, View& data) override;
  unsigned written() const { return written_; }
  static constexpr unsigned kPerFolder = 250;

 private:
  std::string folderFor(unsigned index);

  std::string dir_;
  QvAppendFile* finds_;
  std::string sub_;  // "d0001"
  std::string folder_;
  FolderNames names_;  // in folder_
  unsigned folderIndex_ = ~0u;
  unsigned written_ = 0;
  unsigned attempted_ = 0;
};

}  // namespace qv
