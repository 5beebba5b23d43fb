#include "RecoveryRecord.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

const char kRecoveryRecordFile[] = "Recovered pictures.csv";

namespace {

std::string ConvertCodePage(const std::string& text, UINT from, UINT to)
{
    if (text.empty())
        return text;
    const int length = MultiByteToWideChar(from, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return std::string();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(from, 0, text.c_str(), -1, &wide[0], length);
    const int bytes = WideCharToMultiByte(to, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return std::string();
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(to, 0, wide.c_str(), -1, &out[0], bytes, nullptr, nullptr);
    out.resize(static_cast<size_t>(bytes - 1));
    return out;
}

bool IsUtf8(const std::string& text)
{
    return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.c_str(), -1, nullptr, 0) > 0;
}

// A field in double quotes, its own doubled. Text from the disk that a
// spreadsheet would take for a formula ("=HYPERLINK(...)") is kept as text
// by a leading apostrophe.
std::string Quoted(const std::string& text, bool fromDisk)
{
    std::string field = "\"";
    if (fromDisk && !text.empty() && std::strchr("=+-@\t\r", text[0]))
        field += "'";
    for (char c : text) {
        if (c == '"')
            field += '"';
        field += c;
    }
    return field + "\"";
}

std::string Number(uint64_t number)
{
    char digits[32];
    wsprintfA(digits, "%I64u", number);
    return digits;
}

std::string DateText(uint64_t local)
{
    if (local == 0)
        return std::string();
    const FILETIME ft = {static_cast<DWORD>(local), static_cast<DWORD>(local >> 32)};
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(&ft, &st))
        return std::string();
    char text[32];
    wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
    return text;
}

const char* StateText(FindState state)
{
    switch (state) {
    case FindState::Deleted:
        return "deleted";
    case FindState::Present:
        return "present";
    case FindState::Found:
        break;
    }
    return "found by contents";
}

}  // namespace

std::string FoundAtOf(const std::string& foundName)
{
    unsigned long long sector = 0;
    unsigned offset = 0;
    int used = 0;
    const char* name = foundName.c_str();
    if (foundName.size() < 12 || name[0] != 'f')
        return std::string();
    for (int i = 1; i <= 10; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return std::string();
    }
    std::sscanf(name + 1, "%10llu%n", &sector, &used);
    std::string at = "sector " + Number(sector);
    if (name[11] == '_' && std::sscanf(name + 12, "%3u%n", &offset, &used) == 1 && used == 3 && name[15] == '.')
        return at + ", byte " + Number(offset);
    return name[11] == '.' ? at : std::string();
}

RecoveredRow RowOf(const CPictureItems& pictures, int item, const CString& newPath)
{
    RecoveredRow row;
    row.newPath = newPath;
    row.state = pictures.State(item);
    if (row.state != FindState::Found) {
        row.name = pictures.Name(item);
        row.folder = pictures.Folder(item);
    } else {
        row.foundAt = FoundAtOf(pictures.Name(item));
    }
    row.damaged = pictures.Damaged(item);
    row.bytes = pictures.Bytes(item);
    if (pictures.Decodes(item)) {
        row.width = pictures.Width(item);
        row.height = pictures.Height(item);
    }
    row.taken = pictures.Taken(item);
    row.camera = pictures.Camera(item);
    return row;
}

std::string RecordHeader()
{
    return "\"New path\",\"Original name\",\"Original folder\",\"State\",\"Condition\",\"Size (bytes)\","
           "\"Pixels\",\"Date taken\",\"Camera\",\"Found on the disk at\"\r\n";
}

std::string RecordLine(const RecoveredRow& row)
{
    // The names this program made are in the system's code page, the
    // folders from the disk's records UTF-8 already; a camera's name is
    // taken as it is when it reads as UTF-8.
    const std::string camera = IsUtf8(row.camera) ? row.camera : ConvertCodePage(row.camera, CP_ACP, CP_UTF8);
    const std::string pixels = row.width ? Number(row.width) + " x " + Number(row.height) : std::string();
    std::string line;
    line += Quoted(ConvertCodePage(row.newPath.GetString(), CP_ACP, CP_UTF8), true) + ",";
    line += Quoted(ConvertCodePage(row.name, CP_ACP, CP_UTF8), true) + ",";
    line += Quoted(IsUtf8(row.folder) ? row.folder : std::string(), true) + ",";
    line += Quoted(StateText(row.state), false) + ",";
    line += Quoted(row.damaged ? "damaged" : "whole", false) + ",";
    line += Quoted(Number(row.bytes), false) + ",";
    line += Quoted(pixels, false) + ",";
    line += Quoted(DateText(row.taken), false) + ",";
    line += Quoted(camera, true) + ",";
    line += Quoted(row.foundAt, false) + "\r\n";
    return line;
}

bool AppendRecoveredRow(const CString& folder, const RecoveredRow& row)
{
    const CString path = folder + "\\" + kRecoveryRecordFile;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string text;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && size.QuadPart == 0)
        text = "\xEF\xBB\xBF" + RecordHeader();
    text += RecordLine(row);
    // One write: a row is in the file whole or not at all.
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    CloseHandle(file);
    return ok;
}
