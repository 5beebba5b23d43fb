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
};

// Lines "key=value" in a fixed order, closed by a line "end".
std::string formatProgress(const SearchProgress& p);

// False for anything but a whole, consistent file: every key once, decimal
// numbers only, searched <= size, ended 0 or 1, and the closing "end".
// "givenup" may be missing (an older engine's file: none), and is at most
// "unreadable".
// Unknown keys are passed over, so that later engines may add some.
bool parseProgress(const char* text, size_t n, SearchProgress& out);

// The progress file for an output folder OUTDIR: the folder that holds
// OUTDIR (the data folder) with ".progress" added, so it lies beside the
// data folder, never in it. Empty when OUTDIR has no parent folder.
std::string progressFilePath(const std::string& outDir);

}  // namespace qv
