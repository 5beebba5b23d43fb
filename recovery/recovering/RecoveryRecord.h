// "Recovered pictures.csv" in the recovery folder: a row for each picture
// copied, written as soon as it is copied, so that the file says what is
// really there even after a cancelled copy or a crash. Recovering more into
// the same folder adds rows. UTF-8 with a byte-order mark, every field in
// double quotes: a spreadsheet opens it with every name as it was on the
// disk, in any language.
#pragma once

#include <cstdint>
#include <string>

#include "Framework.h"
#include "PictureItems.h"

extern const char kRecoveryRecordFile[];  // "Recovered pictures.csv"

// One picture's row.
struct RecoveredRow {
    CString newPath;         // inside the recovery folder, the system's code page
    std::string name;        // the name it had on the disk; empty for a find by its contents
    std::string folder;      // UTF-8, from the disk's record; may be empty
    FindState state = FindState::Found;
    bool damaged = false;
    uint64_t bytes = 0;
    unsigned width = 0, height = 0;
    uint64_t taken = 0;      // local FILETIME units; 0 when not known
    std::string camera;
    std::string foundAt;     // "sector 108328" for a find by its contents
};

// The row for item of pictures, copied to newPath.
RecoveredRow RowOf(const CPictureItems& pictures, int item, const CString& newPath);
// "sector 108328" or "sector 108328, byte 77" from a find's own name
// ("f0000108328.jpg", "f0000108328_077.jpg"); empty for any other name.
std::string FoundAtOf(const std::string& foundName);
// The row's line, CR LF ended, in UTF-8.
std::string RecordLine(const RecoveredRow& row);
// The header line.
std::string RecordHeader();

// Adds the row to folder's record, starting the file (byte-order mark and
// header) when it is not there or empty; false when it could not be written.
bool AppendRecoveredRow(const CString& folder, const RecoveredRow& row);
