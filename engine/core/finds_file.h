// The finds file: what only the engine knows of the pictures it wrote from
// a file system's records (the folder each was in, whether it was deleted)
// and of the damaged ones, for the program that started it. A text file
// beside the data folder, as the progress file is, so the output folder
// stays exactly as it was; one line per picture, appended before the
// picture gets its final name. A whole content-search find gets no line.
//
//   quorvane-finds 1
//   d0001\IMG_0001.jpg<TAB>\DCIM\100CANON<TAB>deleted<TAB>1a2b3c4d
//   d0001\IMG_0002.jpg<TAB>\DCIM\100CANON<TAB>deleted<TAB>damaged 60<TAB>5e6f7a8b
//   d0001\f0000081920.jpg<TAB><TAB>found<TAB>damaged 35<TAB>9a8b7c6d
//
// The fields: the file's path under OUTDIR, the folder (FileRecord::folder,
// empty when not known), "deleted" or "present" for a picture from the
// records, "found" for one found by its contents (only ever damaged, its
// folder empty), for a picture whose data does not check out whole only
// "damaged" and, after a space, the share of it that decodes in percent
// when that is known, and the CRC-32 of the line up to its last tab in 8
// lowercase hex digits. A line that breaks these rules is refused.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace qv {

struct FindsEntry {
  std::string file;
  std::string folder;
  bool deleted = false;
  bool damaged = false;
  int decodes = -1;  // of a damaged one: percent, or -1 when not known
  // Found by its contents, not from a record ("found"): then not deleted,
  // no folder, and damaged (a whole one gets no line).
  bool found = false;
};

// The file's first line; a file that starts otherwise is of another version.
extern const char kFindsHeader[];

// Beside the data folder, as progressFilePath: "...\data\temp" gives
// "...\data.finds". Empty when OUTDIR has no parent folder.
std::string findsFilePath(const std::string& outDir);

// One line, '\n' ended. Control characters (tabs, line ends) and bytes that
// are not UTF-8 in the fields become "_".
std::string formatFindsLine(const FindsEntry& e);

// Reads the entries that follow byte `offset` of the file's text; returns the offset just past the last
// whole line (a torn last line, without its '\n', is left for the next call; a line whose CRC or fields
// do not check is passed over and never returned). Never returns a wrong value.
// A text without the header line (not written yet, another version) gives
// nothing and 0, as does an offset past its end (a new file replaced the old).
size_t parseFindsText(const std::string& text, size_t offset, std::vector<FindsEntry>& out);

}  // namespace qv
