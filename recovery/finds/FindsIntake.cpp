#include "FindsIntake.h"

#include <cstring>
#include <vector>

#include "FileUtils.h"
#include "PictureItems.h"
#include "finds_file.h"

namespace {

// More than any search writes; a larger file is not this program's.
const uint64_t kLargestFindsFile = 256ull << 20;
const DWORD kReadChunk = 1 << 20;

bool IsPictureExtension(const CString& path)
{
    PictureType type;
    return PictureTypeOfExtension(path.str(), type);
}

}  // namespace

void CFindsIntake::UseFindsFile(const CString& outDir, bool fresh)
{
    m_strOutDir = outDir;
    m_strFindsPath = qv::findsFilePath(outDir.str()).c_str();
    if (fresh && !m_strFindsPath.IsEmpty())
        DeleteFileA(m_strFindsPath);
    m_nFindsRead = 0;
    m_records.clear();
    m_itemOfFind.clear();
}

void CFindsIntake::Restart()
{
    m_bLastPass = false;
    m_walk.Reset();
    m_thumbnails.Clear();
    m_bPlaceholderDrawn = false;
    m_nNextItem = 0;
}

void CFindsIntake::ForgetListed()
{
    m_itemOfFind.clear();
    m_knownFiles.clear();
}

void CFindsIntake::Stop()
{
    m_thumbnails.Stop();
    m_walk.Reset();
}

void CFindsIntake::Pause()
{
    m_walk.Reset();
    m_thumbnails.Clear();
}

CFindsIntake::Walk CFindsIntake::WalkStep(const CString& dataDir, bool engineRunning,
                                          std::chrono::milliseconds budget, IFindsSink& sink)
{
    // Before the walk: a find's record is written before its file appears.
    ReadRecords(sink);
    m_thumbnails.SetSearching(engineRunning);
    if (!m_walk.Active()) {
        // Read before the walk starts: a walk that starts after the engine's
        // end sees every file it wrote, and so reads every folder.
        m_bWalkAfterEnd = !engineRunning;
        m_walk.Start(dataDir, !m_bWalkAfterEnd);
    }
    const bool ended = m_walk.Continue(budget, [this](const CString& path) {
        // Known files cost a lookup; files that are no pictures are only
        // remembered.
        if (m_knownFiles.insert(path.str()).second && IsPictureExtension(path))
            m_thumbnails.Add(path);
    });
    if (!ended)
        return Walk::Going;
    m_bLastPass = m_bWalkAfterEnd;
    return m_bLastPass ? Walk::LastEnded : Walk::Ended;
}

int CFindsIntake::TakeIn(std::chrono::milliseconds budget, IFindsSink& sink)
{
    const auto start = std::chrono::steady_clock::now();
    CThumbnailMaker::Result result;
    int outOfStep = 0;
    while (std::chrono::steady_clock::now() - start < budget && m_thumbnails.TakeNext(result)) {
        if (!Take(result, sink))
            ++outOfStep;
    }
    return outOfStep;
}

bool CFindsIntake::Take(CThumbnailMaker::Result& result, IFindsSink& sink)
{
    switch (result.outcome) {
    case CThumbnailMaker::Outcome::Picture:
        break;
    case CThumbnailMaker::Outcome::NotPicture:
        if (!Placeholder(result.pixels))
            return true;
        break;
    case CThumbnailMaker::Outcome::NotReady:
    case CThumbnailMaker::Outcome::Gone:
        // Offered again by the next walk, if there is one.
        m_knownFiles.erase(result.path.str());
        m_walk.Forget(result.path.Left(result.path.ReverseFind('\\')));
        return true;
    }

    NewFind find;
    find.path = result.path;
    find.pixels = std::move(result.pixels);
    find.details = std::move(result.details);
    find.decodes = result.outcome == CThumbnailMaker::Outcome::Picture;
    const std::string path = result.path.str();
    const auto record = m_records.find(path);
    if (record != m_records.end())
        find.record = &record->second;
    const int item = sink.AddFind(find);
    if (record != m_records.end())
        m_records.erase(record);
    m_itemOfFind[path] = item;
    ++m_nNextItem;
    return item + 1 == m_nNextItem;
}

bool CFindsIntake::Placeholder(ThumbnailPixels& pixels)
{
    if (!m_bPlaceholderDrawn) {
        const CString icon = GetModuleFolder() + "icon.png";
        m_placeholder.clear();
        if (GetFileAttributesA(icon) != INVALID_FILE_ATTRIBUTES)
            RenderThumbnail(icon, m_placeholder);
        m_bPlaceholderDrawn = true;
    }
    if (m_placeholder.empty())
        return false;
    pixels = m_placeholder;
    return true;
}

void CFindsIntake::ReadRecords(IFindsSink& sink)
{
    if (m_strFindsPath.IsEmpty() || m_nFindsRead >= kLargestFindsFile)
        return;
    HANDLE file = CreateFileA(m_strFindsPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(m_nFindsRead);
    // A step reads what the engine added since the last one, a little at a
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
    const std::string outDir = m_strOutDir.str() + "\\";
    for (qv::FindsEntry& entry : entries) {
        const std::string path = outDir + entry.file;
        FindRecord record;
        record.folder = std::move(entry.folder);
        record.deleted = entry.deleted;
        record.damaged = entry.damaged;
        record.decodes = entry.decodes;
        record.found = entry.found;
        const auto listed = m_itemOfFind.find(path);
        if (listed == m_itemOfFind.end())
            m_records[path] = std::move(record);
        else
            sink.UpdateFind(listed->second, record);
    }
}
