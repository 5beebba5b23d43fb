// Where each recovered picture goes inside the recovery folder, and under
// what name: its folder on the disk, its date taken or one folder, as the
// user chose; names a person can read, always valid on Windows. No windows
// and no files: only names.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Framework.h"
#include "PictureDescription.h"
#include "PictureItems.h"

enum class Arrangement { OriginalFolders, ByDateTaken, OneFolder };

// "Original folders", "By date taken", "One folder": the choice's own words,
// also what settings.ini keeps.
const char* ArrangementText(Arrangement arrangement);
// The arrangement these words name; false for any other text.
bool ArrangementFromText(const CString& text, Arrangement& arrangement);

// The folders a picture without one goes to.
extern const char kFoundByContentsFolder[];  // "Found by contents"
extern const char kFolderNotKnownFolder[];    // "Folder not known"
extern const char kUndatedFolder[];           // "Undated"

// What the plan needs of a find.
struct PictureFacts {
    std::string name;    // the found file's name: "f0000108328.jpg", "IMG_0123.jpg", "_MG_0123.jpg"
    std::string folder;  // UTF-8 from the disk's record: "\\DCIM\\100CANON", "\\", "\\?\\100CANON", ""
    FindState state = FindState::Found;
    uint64_t taken = 0;       // Exif, local FILETIME units; 0 when not known
    uint64_t recordDate = 0;  // the record's modification time, local; 0 when not known
    std::string camera;       // Exif make and model
};
PictureFacts FactsOf(const CPictureItems& pictures, int item);

// One name of a path made valid on Windows: characters Windows refuses
// (<>:"/\|?* and control characters) become '_', trailing dots and spaces
// go, a device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any
// extension) gets '_' in front; never empty. name is in the system's code
// page.
std::string ValidWindowsName(const std::string& name);

// "Quorvane recovery 2026-12-09 E" for a search of E: on that day; without
// a drive letter when none is known.
CString RecoveryFolderName(const SYSTEMTIME& day, const CString& drive);

class CRecoveryPlan {
public:
    // Extra characters a name may get when taken: " (9999)".
    static const int kNumberRoom = 7;

    // pictures: every find of the search, recovered or not; a deleted
    // name's lost first letter is guessed from its folder's other names.
    CRecoveryPlan(Arrangement arrangement, std::vector<PictureFacts> pictures);

    // The path of picture at inside the recovery folder
    // ("DCIM\\100CANON\\IMG_0123.jpg"), in the system's code page, each name valid, at most
    // room characters long (room: what MAX_PATH leaves after the recovery
    // folder, its backslash and kNumberRoom). Folders are shortened, then
    // dropped from the top, then the name's own part cut, its extension kept.
    std::string RelativePath(size_t at, int room = MAX_PATH - 1 - kNumberRoom) const;
    // The file's name alone, before any shortening.
    std::string Name(size_t at) const;
    // The name's first letter was lost with its deletion: the name offered
    // holds a guess from the folder's other names, or the underscore.
    bool FirstLetterLost(size_t at) const;

private:
    std::vector<std::string> Folders(size_t at) const;
    std::vector<std::string> RecordFolders(const PictureFacts& facts) const;

    Arrangement m_arrangement;
    std::vector<PictureFacts> m_pictures;
    // The names in each folder of the records, and the folders under each
    // folder: where a lost first letter is guessed from.
    std::map<std::string, std::vector<std::string>> m_namesIn;
    std::map<std::string, std::vector<std::string>> m_foldersIn;
};

// The letter the other names make likely for name's lost first one ('I'
// for "_MG_0123.jpg" beside "IMG_0124.JPG"); 0 when they do not agree.
char GuessFirstLetter(const std::string& name, const std::vector<std::string>& others);
