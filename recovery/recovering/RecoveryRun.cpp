#include "RecoveryRun.h"

#include <shlwapi.h>

#include "FileUtils.h"
#include "RecoveryRecord.h"
#include "SafeCopy.h"

namespace {

// The sentence about the pictures that could not be copied. An empty entry
// in failed stands for a picture whose file was gone, any other entry for a
// copy that the save folder refused.
CString NotCopiedSentence(const std::vector<CString>& failed)
{
    int gone = 0;
    for (const CString& path : failed) {
        if (path.IsEmpty())
            ++gone;
    }
    const int refused = static_cast<int>(failed.size()) - gone;

    CString sentence;
    if (refused == 0) {
        sentence.Format("%d files could not be copied because they have been deleted since the analysis.",
                        gone);
    } else if (gone == 0) {
        sentence.Format("%d files could not be copied because the save folder could not be written to "
                        "(it may be full or read-only).",
                        refused);
    } else {
        sentence.Format("%d files could not be copied because %d have been deleted since the analysis "
                        "and the save folder could not be written to for the other %d.",
                        gone + refused, gone, refused);
    }
    return sentence;
}

// "Recovering photo 312 of 1240 - about 2 minutes left"; no time left while
// it is not known, nor after the last picture.
CString CopyLine(int done, int total, double secondsLeft)
{
    CString text;
    text.Format("Recovering photo %d of %d", done, total);
    if (secondsLeft >= 0 && done < total)
        text += " - " + TimeLeftText(secondsLeft) + " left";
    return text;
}

}  // namespace

CPictureCopier::Outcome CopyIntoFolder(const CString& source, const CString& folder, const CString& name,
                                       CString& copied)
{
    if (source.IsEmpty() || !PathFileExistsA(source))
        return CPictureCopier::Outcome::Gone;
    // An empty folder would put the pictures wherever the process happens
    // to be; Recover asks for a folder before it gets here. The save folder
    // is made one level only, as ever; the recovery folder inside it.
    if (folder.IsEmpty())
        return CPictureCopier::Outcome::FolderMissing;
    if (!IsFolder(folder)) {
        const int slash = folder.ReverseFind('\\');
        const CString save = slash > 0 ? folder.Left(slash) : CString();
        if (!save.IsEmpty() && save.Right(1) != ":" && !IsFolder(save))
            CreateDirectoryA(save, nullptr);
        if (!CreateDirectoryA(folder, nullptr) && !IsFolder(folder))
            return CPictureCopier::Outcome::FolderMissing;
    }

    // The folders of the arrangement, each made when not there.
    CString into = folder;
    CString rest = name;
    for (int slash = rest.Find('\\'); slash >= 0; slash = rest.Find('\\')) {
        into += "\\" + rest.Left(slash);
        rest = rest.Mid(slash + 1);
        if (!IsFolder(into) && !CreateDirectoryA(into, nullptr) && !IsFolder(into))
            return CPictureCopier::Outcome::Refused;
    }
    switch (CopyWithoutReplacingAs(source, into, rest, &copied)) {
    case SafeCopyResult::Copied:
        return CPictureCopier::Outcome::Copied;
    case SafeCopyResult::AlreadyThere:
        return CPictureCopier::Outcome::AlreadyThere;
    case SafeCopyResult::Refused:
        break;
    }
    return CPictureCopier::Outcome::Refused;
}

CRecoveryRun::CRecoveryRun() : m_bytes(0), m_startTick(0), m_estimate(kLeastSeconds, 0), m_shown(0) {}

bool CRecoveryRun::Start(const CPictureItems& pictures, const std::vector<int>& items, const CString& folder,
                         Arrangement arrangement, CPictureCopier::CopyOne copy, ULONGLONG now)
{
    if (items.empty())
        return false;
    m_copier.Stop();
    // Every find of the search, for the names beside a deleted one.
    std::vector<PictureFacts> facts;
    facts.reserve(static_cast<size_t>(pictures.Count()));
    for (int item = 0; item < pictures.Count(); ++item)
        facts.push_back(FactsOf(pictures, item));
    const CRecoveryPlan plan(arrangement, std::move(facts));
    // What MAX_PATH leaves after the folder, its backslash and a number.
    const int room = MAX_PATH - 1 - (folder.GetLength() + 1) - CRecoveryPlan::kNumberRoom;

    std::vector<CString> sources;
    std::vector<CString> names;
    std::vector<uint64_t> sizes;
    m_pictures = &pictures;
    m_folder = folder;
    m_items = items;
    m_bytes = 0;
    for (int item : items) {
        sources.push_back(pictures.Path(item));
        names.push_back(plan.RelativePath(static_cast<size_t>(item), room).c_str());
        // A size not known counts as one byte: the time left then goes by
        // the count.
        sizes.push_back(pictures.Bytes(item) ? pictures.Bytes(item) : 1);
        m_bytes += sizes.back();
    }
    m_shown = 0;
    m_estimate.Reset();
    m_startTick = now;
    m_copier.Start(std::move(sources), folder, std::move(copy), std::move(sizes), std::move(names),
                   [this](size_t at, CPictureCopier::Outcome outcome, const CString& copied) {
                       AfterCopy(at, outcome, copied);
                   });
    return true;
}

void CRecoveryRun::AfterCopy(size_t at, CPictureCopier::Outcome outcome, const CString& copied)
{
    // A file that was there already keeps its date and its row.
    if (outcome != CPictureCopier::Outcome::Copied || copied.IsEmpty())
        return;
    const int item = m_items[at];
    // The record's date, else the date taken; else the found file's own,
    // which the copy kept.
    uint64_t date = m_pictures->RecordDate(item);
    if (date == 0)
        date = m_pictures->Taken(item);
    if (date != 0) {
        const FILETIME local = {static_cast<DWORD>(date), static_cast<DWORD>(date >> 32)};
        FILETIME utc;
        HANDLE file = CreateFileA(copied, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            if (LocalFileTimeToFileTime(&local, &utc))
                SetFileTime(file, nullptr, nullptr, &utc);
            CloseHandle(file);
        }
    }
    const CString inside = copied.GetLength() > m_folder.GetLength() + 1 ? copied.Mid(m_folder.GetLength() + 1)
                                                                          : copied;
    AppendRecoveredRow(m_folder, RowOf(*m_pictures, item, inside));
}

CString CRecoveryRun::FirstLine() const
{
    return CopyLine(0, Total(), -1);
}

CRecoveryRun::Shown CRecoveryRun::Tick(ULONGLONG now)
{
    Shown shown;
    // Read before the count: a run seen finished has its last count in.
    shown.finished = m_copier.Finished();
    shown.done = m_copier.Shown();
    m_estimate.Add(static_cast<double>(now - m_startTick) / 1000.0, m_copier.BytesDone());
    shown.line = CopyLine(shown.done, Total(), m_estimate.SecondsLeft(m_bytes));
    shown.moved = shown.done != m_shown;
    m_shown = shown.done;
    if (shown.finished)
        m_copier.Stop();
    return shown;
}

std::vector<int> CRecoveryRun::RecoveredItems()
{
    std::vector<int> recovered;
    for (int at : m_copier.Copied())
        recovered.push_back(m_items[static_cast<size_t>(at)]);
    return recovered;
}

CString CRecoveryRun::Summary()
{
    const std::vector<CString> failures = m_copier.Failures();
    const int recovered = static_cast<int>(m_copier.Copied().size());
    const int notReached = m_copier.Total() - m_copier.Done();
    CString text;
    text.Format("%d files recovered.", recovered);
    if (m_copier.Cancelled() && notReached > 0) {
        CString cancelled;
        cancelled.Format("\n\nThe recovery was cancelled: %d of the %d ticked files were not copied.", notReached,
                         m_copier.Total());
        text += cancelled;
    }
    if (!failures.empty())
        text += "\n\n" + NotCopiedSentence(failures);
    text += "\n\nDo you want to view recovered files?";
    return text;
}
