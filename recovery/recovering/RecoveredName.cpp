#include "RecoveredName.h"

#include <cctype>
#include <cstdio>
#include <cstring>

const char kFoundByContentsFolder[] = "Found by contents";
const char kFolderNotKnownFolder[] = "Folder not known";
const char kUndatedFolder[] = "Undated";

namespace {

const char* const kArrangementTexts[] = {"Original folders", "By date taken", "One folder"};

// A folder's name is kept to this length, and to kShortFolder when the
// whole path would be too long.
const size_t kLongestFolder = 100;
const size_t kShortFolder = 24;
// A file's name: well within a component's 255 characters.
const size_t kLongestName = 200;
const size_t kLongestCamera = 64;

bool SameTextIgnoringCase(const char* a, const char* b)
{
    return lstrcmpiA(a, b) == 0;
}

// The UTF-8 of the disk's records in the system's code page: what cannot be
// written there becomes '_' (never a best-fit look-alike such as a
// backslash for a yen sign). Bytes that are not UTF-8 become '_' too.
std::string ToAnsi(const std::string& text)
{
    if (text.empty())
        return text;
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.c_str(), -1, nullptr, 0);
    if (length <= 0) {
        std::string ascii = text;
        for (char& c : ascii) {
            if (static_cast<unsigned char>(c) >= 0x80)
                c = '_';
        }
        return ascii;
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], length);
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, "_", nullptr);
    if (bytes <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, &narrow[0], bytes, "_", nullptr);
    narrow.resize(static_cast<size_t>(bytes - 1));
    return narrow;
}

// The part before the last dot, and the dot and the rest ("" without one;
// a leading dot is part of the name).
void SplitExtension(const std::string& name, std::string& base, std::string& extension)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        base = name;
        extension.clear();
        return;
    }
    base = name.substr(0, dot);
    extension = name.substr(dot);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The day of a local FILETIME value; false for 0 or a value that is none.
bool DayOf(uint64_t local, SYSTEMTIME& st)
{
    if (local == 0)
        return false;
    const FILETIME ft = {static_cast<DWORD>(local), static_cast<DWORD>(local >> 32)};
    return FileTimeToSystemTime(&ft, &st) != FALSE;
}

// Cuts name to at most length characters, its extension kept when there
// is room for it, and makes it valid again (a cut may end in a dot).
std::string CutName(const std::string& name, size_t length, bool keepExtension)
{
    if (name.size() <= length)
        return name;
    std::string base, extension;
    SplitExtension(name, base, extension);
    if (!keepExtension || extension.size() + 1 > length)
        return ValidWindowsName(name.substr(0, length > 0 ? length : 1));
    return ValidWindowsName(base.substr(0, length - extension.size()) + extension);
}

std::string Joined(const std::vector<std::string>& folders, const std::string& name)
{
    std::string path;
    for (const std::string& folder : folders)
        path += folder + "\\";
    return path + name;
}

}  // namespace

const char* ArrangementText(Arrangement arrangement)
{
    return kArrangementTexts[static_cast<int>(arrangement)];
}

bool ArrangementFromText(const CString& text, Arrangement& arrangement)
{
    for (int i = 0; i < 3; ++i) {
        if (text == kArrangementTexts[i]) {
            arrangement = static_cast<Arrangement>(i);
            return true;
        }
    }
    return false;
}

PictureFacts FactsOf(const CPictureItems& pictures, int item)
{
    PictureFacts facts;
    facts.name = pictures.Name(item);
    facts.folder = pictures.Folder(item);
    facts.state = pictures.State(item);
    facts.taken = pictures.Taken(item);
    facts.recordDate = pictures.RecordDate(item);
    facts.camera = pictures.Camera(item);
    return facts;
}

std::string ValidWindowsName(const std::string& name)
{
    std::string valid = name;
    for (char& c : valid) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::strchr("<>:\"/\\|?*", c))
            c = '_';
    }
    while (!valid.empty() && (valid.back() == '.' || valid.back() == ' '))
        valid.pop_back();
    if (valid.empty())
        return "_";

    // A device's name stays the device with any extension, and with spaces
    // before the dot.
    std::string device = valid.substr(0, valid.find('.'));
    while (!device.empty() && device.back() == ' ')
        device.pop_back();
    bool reserved = false;
    for (const char* word : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        reserved = reserved || SameTextIgnoringCase(device.c_str(), word);
    if (device.size() == 4) {
        const std::string kind = device.substr(0, 3);
        const unsigned char digit = static_cast<unsigned char>(device[3]);
        // Windows also takes the superscript digits (code page 1252's) as
        // port numbers.
        const bool portNumber = (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
        reserved = reserved ||
                   ((SameTextIgnoringCase(kind.c_str(), "COM") || SameTextIgnoringCase(kind.c_str(), "LPT")) &&
                    portNumber);
    }
    return reserved ? "_" + valid : valid;
}

CString RecoveryFolderName(const SYSTEMTIME& day, const CString& drive)
{
    char name[64];
    wsprintfA(name, "Quorvane recovery %04u-%02u-%02u", day.wYear, day.wMonth, day.wDay);
    std::string letters;
    for (const char* c = drive; *c && *c != ':' && *c != '\\' && letters.size() < 8; ++c)
        letters += *c;
    std::string folder = name;
    if (!letters.empty())
        folder += " " + letters;
    return ValidWindowsName(folder).c_str();
}

char GuessFirstLetter(const std::string& name, const std::vector<std::string>& others)
{
    std::string base, extension;
    SplitExtension(name, base, extension);
    int counts[256] = {};
    for (const std::string& other : others) {
        std::string otherBase, otherExtension;
        SplitExtension(other, otherBase, otherExtension);
        if (otherBase.size() != base.size() || otherBase.empty() || otherBase[0] == '_')
            continue;
        // The same shape after the first letter: the same letters, digits
        // where it has digits (the camera counts on).
        bool same = true;
        for (size_t i = 1; i < base.size() && same; ++i) {
            const char a = base[i];
            const char b = otherBase[i];
            same = (IsDigit(a) && IsDigit(b)) ||
                   std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
        }
        if (same)
            ++counts[static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(otherBase[0])))];
    }
    int best = 0;
    bool tie = false;
    for (int c = 1; c < 256; ++c) {
        if (counts[c] > counts[best]) {
            best = c;
            tie = false;
        } else if (counts[c] > 0 && counts[c] == counts[best]) {
            tie = true;
        }
    }
    if (best == 0 || tie)
        return 0;
    // A name written in small letters gets a small one.
    bool lower = false, upper = false;
    for (char c : base) {
        lower = lower || std::islower(static_cast<unsigned char>(c));
        upper = upper || std::isupper(static_cast<unsigned char>(c));
    }
    const char letter = static_cast<char>(best);
    return lower && !upper ? static_cast<char>(std::tolower(static_cast<unsigned char>(letter))) : letter;
}

CRecoveryPlan::CRecoveryPlan(Arrangement arrangement, std::vector<PictureFacts> pictures)
    : m_arrangement(arrangement), m_pictures(std::move(pictures))
{
    for (const PictureFacts& facts : m_pictures) {
        if (facts.state == FindState::Found)
            continue;
        m_namesIn[facts.folder].push_back(facts.name);
        // Each folder on the way is a name in its parent.
        std::string parent;
        size_t at = 0;
        while (at < facts.folder.size()) {
            const size_t next = facts.folder.find('\\', at + 1);
            const std::string part =
                facts.folder.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
            if (!part.empty()) {
                std::vector<std::string>& names = m_foldersIn[parent];
                bool known = false;
                for (const std::string& name : names)
                    known = known || name == part;
                if (!known)
                    names.push_back(part);
            }
            parent += "\\" + part;
            if (next == std::string::npos)
                break;
            at = next;
        }
    }
}

std::vector<std::string> CRecoveryPlan::RecordFolders(const PictureFacts& facts) const
{
    std::vector<std::string> folders;
    const std::string& folder = facts.folder;
    size_t at = 0;
    std::string parent;
    // "\?\100CANON": the folders above were lost.
    if (folder.empty() || folder[0] != '\\' || folder.compare(0, 2, "\\?") == 0) {
        folders.push_back(kFolderNotKnownFolder);
        if (folder.compare(0, 2, "\\?") != 0)
            return folders;
        at = 2;
        parent = "\\?";
    }
    while (at < folder.size()) {
        const size_t next = folder.find('\\', at + 1);
        std::string part = folder.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
        const std::string key = parent;
        parent += "\\" + part;
        if (!part.empty()) {
            if (facts.state == FindState::Deleted && LooksLikeLostFirstLetter(part)) {
                const auto siblings = m_foldersIn.find(key);
                const char letter =
                    siblings == m_foldersIn.end() ? 0 : GuessFirstLetter(part, siblings->second);
                if (letter)
                    part[0] = letter;
            }
            folders.push_back(CutName(ValidWindowsName(ToAnsi(part)), kLongestFolder, false));
        }
        if (next == std::string::npos)
            break;
        at = next;
    }
    return folders;
}

std::vector<std::string> CRecoveryPlan::Folders(size_t at) const
{
    const PictureFacts& facts = m_pictures[at];
    switch (m_arrangement) {
    case Arrangement::OneFolder:
        return {};
    case Arrangement::ByDateTaken: {
        SYSTEMTIME st;
        if (!DayOf(facts.taken, st) && !DayOf(facts.recordDate, st))
            return {kUndatedFolder};
        char year[16], day[32];
        wsprintfA(year, "%04u", st.wYear);
        wsprintfA(day, "%04u-%02u-%02u", st.wYear, st.wMonth, st.wDay);
        return {year, day};
    }
    case Arrangement::OriginalFolders:
        break;
    }
    if (facts.state == FindState::Found)
        return {kFoundByContentsFolder};
    return RecordFolders(facts);
}

std::string CRecoveryPlan::Name(size_t at) const
{
    const PictureFacts& facts = m_pictures[at];
    std::string base, extension;
    SplitExtension(facts.name, base, extension);
    extension = Lower(extension);

    SYSTEMTIME st;
    std::string name;
    if (facts.state == FindState::Found && DayOf(facts.taken, st)) {
        // "2024-07-14 15.32.08 Canon EOS R6.jpg": sorts by time, and a RAW
        // and the JPEG taken with it share everything but the extension.
        char time[64];
        wsprintfA(time, "%04u-%02u-%02u %02u.%02u.%02u", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                  st.wSecond);
        name = time;
        std::string camera = ToAnsi(facts.camera);
        if (camera.size() > kLongestCamera)
            camera.resize(kLongestCamera);
        camera = ValidWindowsName(camera);
        if (!facts.camera.empty() && camera != "_")
            name += " " + camera;
        name += extension;
    } else {
        name = ToAnsi(facts.name);
        if (FirstLetterLost(at)) {
            const auto siblings = m_namesIn.find(facts.folder);
            const char letter = siblings == m_namesIn.end() ? 0 : GuessFirstLetter(facts.name, siblings->second);
            if (letter)
                name[0] = letter;
        }
    }
    return CutName(ValidWindowsName(name), kLongestName, true);
}

bool CRecoveryPlan::FirstLetterLost(size_t at) const
{
    const PictureFacts& facts = m_pictures[at];
    return facts.state == FindState::Deleted && LooksLikeLostFirstLetter(facts.name);
}

std::string CRecoveryPlan::RelativePath(size_t at, int room) const
{
    std::vector<std::string> folders = Folders(at);
    std::string name = Name(at);
    const size_t limit = room > 1 ? static_cast<size_t>(room) : 1;
    if (Joined(folders, name).size() <= limit)
        return Joined(folders, name);
    for (std::string& folder : folders)
        folder = CutName(folder, kShortFolder, false);
    // The folders nearest the picture say the most of it: the top ones go
    // first.
    while (!folders.empty() && Joined(folders, name).size() > limit)
        folders.erase(folders.begin());
    if (name.size() > limit)
        name = CutName(name, limit, true);
    return Joined(folders, name);
}
