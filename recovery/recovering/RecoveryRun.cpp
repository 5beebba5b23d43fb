#include "RecoveryRun.h"

#include <shlwapi.h>

#include "FileUtils.h"
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

CPictureCopier::Outcome CopyIntoFolder(const CString& source, const CString& folder)
{
    if (source.IsEmpty() || !PathFileExistsA(source))
        return CPictureCopier::Outcome::Gone;
    // An empty folder would put the pictures wherever the process happens
    // to be; Recover asks for a folder before it gets here.
    if (folder.IsEmpty() || (!IsFolder(folder) && !CreateDirectoryA(folder, nullptr)))
        return CPictureCopier::Outcome::FolderMissing;

    // A picture already there with the same bytes counts as recovered.
    return CopyWithoutReplacing(source, folder) == SafeCopyResult::Refused ? CPictureCopier::Outcome::Refused
                                                                           : CPictureCopier::Outcome::Copied;
}

CRecoveryRun::CRecoveryRun() : m_bytes(0), m_startTick(0), m_estimate(kLeastSeconds), m_shown(0) {}

bool CRecoveryRun::Start(const CPictureItems& pictures, const std::vector<int>& items, const CString& folder,
                         CPictureCopier::CopyOne copy, ULONGLONG now)
{
    if (items.empty())
        return false;
    std::vector<CString> sources;
    std::vector<uint64_t> sizes;
    m_items = items;
    m_bytes = 0;
    for (int item : items) {
        sources.push_back(pictures.Path(item));
        // A size not known counts as one byte: the time left then goes by
        // the count.
        sizes.push_back(pictures.Bytes(item) ? pictures.Bytes(item) : 1);
        m_bytes += sizes.back();
    }
    m_shown = 0;
    m_estimate.Reset();
    m_startTick = now;
    m_copier.Start(std::move(sources), folder, std::move(copy), std::move(sizes));
    return true;
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
