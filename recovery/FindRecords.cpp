// What the engine says of its finds that the found files cannot: the folder
// a picture was in on the disk, whether it had been deleted, whether its
// data is damaged. The engine appends a line per find written from a file
// system's records, and per damaged find from the content search, to its
// finds file beside the work folder before the find's file appears; the
// window reads what was added at each walk, and a find whose line comes
// later is given it then.
#include "RecoveryDlg.h"

#include <cstring>

#include "finds_file.h"

namespace {

// More than any search writes; a larger file is not this program's.
const uint64_t kLargestFindsFile = 256ull << 20;
const DWORD kReadChunk = 1 << 20;

}  // namespace

void CRecoveryDlg::BeginFindRecords()
{
    m_strFindsPath = qv::findsFilePath(m_strTempDir.str()).c_str();
    if (!m_strFindsPath.IsEmpty())
        DeleteFileA(m_strFindsPath);
    m_nFindsRead = 0;
    m_findRecords.clear();
    m_itemOfFind.clear();
}

void CRecoveryDlg::ReadFindRecords()
{
    if (m_strFindsPath.IsEmpty() || m_nFindsRead >= kLargestFindsFile)
        return;
    HANDLE file = CreateFileA(m_strFindsPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(m_nFindsRead);
    // A tick reads what the engine added since the last one, a little at a
    // time; after the first the file's header line stands in front, as the
    // reader wants the text from the start.
    const size_t header = m_nFindsRead == 0 ? 0 : std::strlen(qv::kFindsHeader);
    std::string text = m_nFindsRead == 0 ? std::string() : std::string(qv::kFindsHeader);
    if (SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) {
        text.resize(header + kReadChunk);
        DWORD read = 0;
        if (!::ReadFile(file, &text[header], kReadChunk, &read, nullptr))
            read = 0;
        text.resize(header + read);
    }
    CloseHandle(file);

    std::vector<qv::FindsEntry> entries;
    // Only whole lines are taken; a torn last one is read again next time.
    const size_t used = qv::parseFindsText(text, header, entries);
    if (used > header)
        m_nFindsRead += used - header;
    const std::string outDir = m_strTempDir.str() + "\\";
    for (qv::FindsEntry& entry : entries) {
        const std::string path = outDir + entry.file;
        m_findRecords[path] =
            FindRecord{std::move(entry.folder), entry.deleted, entry.damaged, entry.decodes, entry.found};
        const auto listed = m_itemOfFind.find(path);
        if (listed == m_itemOfFind.end())
            continue;
        // Listed already: its place and whether it is shown may change.
        const int item = listed->second;
        const int before = m_view.PositionOf(item);
        ApplyFindRecord(item);
        m_view.Update(m_pictures, item);
        if (m_view.PositionOf(item) != before)
            m_bListReordered = true;
    }
    // Between intakes nobody else tells the list.
    if (m_bListReordered && !m_bIntakeArmed)
        ShowPictureCount();
}

void CRecoveryDlg::ApplyFindRecord(int item)
{
    const std::string path = m_pictures.Path(item).str();
    m_itemOfFind[path] = item;
    const auto record = m_findRecords.find(path);
    if (record == m_findRecords.end())
        return;
    if (record->second.found)
        m_pictures.SetDamaged(item, record->second.decodes);
    else
        m_pictures.SetRecord(item, record->second.folder, record->second.deleted, record->second.damaged,
                             record->second.decodes);
    m_findRecords.erase(record);
}
