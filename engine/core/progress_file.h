// The search's progress as a small text file beside the data folder, for
// the program that started the engine: it is written whole under another
// name and renamed over the old one, and read only through parseProgress,
// which takes nothing it cannot fully check.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace qv {

struct SearchProgress {
  uint64_t searched = 0;    // bytes of the disk searched so far
  uint64_t size = 0;        // bytes on the disk
  uint64_t found = 0;       // pictures found so far
  uint64_t unreadable = 0;  // sectors that could not be read, skipped
  uint64_t givenUp = 0;     // of them, sectors the disk did not answer for in time
  bool ended = false;       // the search has ended; nothing more follows
  // The file systems' pass, before the content search: bytes of the
  // pictures their records describe that have been checked so far, and in
  // all (0 while the records are still being read).
  uint64_t recordsChecked = 0;
  uint64_t recordsSize = 0;
};

// The whole search's work, the records' pass and the content search
// together, in bytes: done so far and in all. Its share is what the search
// has got through.
uint64_t progressDone(const SearchProgress& p);
uint64_t progressTotal(const SearchProgress& p);

// Lines "key=value" in a fixed order, closed by a line "end".
std::string formatProgress(const SearchProgress& p);

// False for anything but a whole, consistent file: every key once, decimal
// numbers only, searched <= size, ended 0 or 1, and the closing "end".
// "givenup" may be missing (an older engine's file: none), and is at most
// "unreadable"; "records" and "recordsize" may be missing together (no
// records' pass told), and records is at most recordsize.
// Unknown keys are passed over, so that later engines may add some.
bool parseProgress(const char* text, size_t n, SearchProgress& out);

// The progress file for an output folder OUTDIR: the folder that holds
// OUTDIR (the data folder) with ".progress" added, so it lies beside the
// data folder, never in it. Empty when OUTDIR has no parent folder.
std::string progressFilePath(const std::string& outDir);

}  // namespace qv
