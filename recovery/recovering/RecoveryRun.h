// One run of Recover: the ticked pictures copied into the save folder on
// the copier's thread, and what the window shows of it: the line with the
// time left, the bar's position, and at the end the pictures recovered and
// the summary. The window keeps the button, the timer and the questions;
// every method here is called on the window's thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "Framework.h"
#include "PictureCopier.h"
#include "PictureItems.h"
#include "RecoveredName.h"
#include "SearchProgress.h"

// Copies source into the recovery folder under name (a path inside it),
// making the recovery folder (and the save folder it lies in, one level)
// and name's folders when they are not there. A picture already there with
// the same bytes is not copied again; copied receives the file holding it.
CPictureCopier::Outcome CopyIntoFolder(const CString& source, const CString& folder, const CString& name,
                                       CString& copied);

class CRecoveryRun {
public:
    // The copy's time left is shown once it has been measured for this long.
    static constexpr double kLeastSeconds = 2.0;

    // What a tick has to show.
    struct Shown {
        CString line;           // "Recovering photo 312 of 1240 - about 2 minutes left"
        int done = 0;           // the bar's position, out of Total()
        bool moved = false;     // done is not what the last tick showed
        bool finished = false;  // the run has ended: FolderMissing or Summary says how
    };

    CRecoveryRun();
    CRecoveryRun(const CRecoveryRun&) = delete;
    CRecoveryRun& operator=(const CRecoveryRun&) = delete;

    // Starts copying the pictures at items (in that order) into the
    // recovery folder, arranged so, with copy, on a thread of its own; each
    // copy gets its date and a row in the folder's record. false, and
    // nothing started, when there are no items. now: GetTickCount64's, for
    // the time left. pictures must stay as they are until the run ends.
    bool Start(const CPictureItems& pictures, const std::vector<int>& items, const CString& folder,
               Arrangement arrangement, CPictureCopier::CopyOne copy, ULONGLONG now);
    // Pictures in the run.
    int Total() const { return m_copier.Total(); }
    // The line before the first tick: no picture done, no time left.
    CString FirstLine() const;
    // How far the run is at now. Once finished is seen, every picture that
    // will be dealt with has been, and the thread is over.
    Shown Tick(ULONGLONG now);
    // Started and not yet ended.
    bool Running() const { return m_copier.Running(); }
    // Asks the run to end after the picture being copied; the next ticks
    // tell when it has. What was copied stays.
    void RequestStop() { m_copier.RequestStop(); }
    // Ends the run after the picture being copied and waits for it.
    void Stop() { m_copier.Stop(); }

    // After the end: the save folder was not there and could not be made.
    bool FolderMissing() const { return m_copier.FolderMissing(); }
    // After the end: the items of the pictures that reached the save folder.
    std::vector<int> RecoveredItems();
    // After the end: how many were recovered, how many a cancel left, which
    // could not be copied and why, and the question whether to view them.
    CString Summary();

private:
    void AfterCopy(size_t at, CPictureCopier::Outcome outcome, const CString& copied);

    CPictureCopier m_copier;
    const CPictureItems* m_pictures = nullptr;
    CString m_folder;
    // The item of each picture being copied, and their bytes together.
    std::vector<int> m_items;
    uint64_t m_bytes;
    ULONGLONG m_startTick;
    CTimeLeftEstimate m_estimate;
    int m_shown;
};
