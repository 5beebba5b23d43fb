// The analysis monitor: rescans of the data folder and the intake of the
// engine's finished files, one per tick, into the picture list, until a
// pass made after the engine's end is done.
#include "RecoveryDlg.h"

#include <shlwapi.h>

#include "FileUtils.h"

namespace {

const UINT kRescanInterval = 200;
const UINT kIntakeInterval = 200;

const char* const kStatusSteps[] = {
    "Analyzing disk, please wait",
    "Analyzing disk, please wait.",
    "Analyzing disk, please wait..",
    "Analyzing disk, please wait...",
    "Analyzing disk, please wait....",
    "Analyzing disk, please wait.....",
};
const int kStatusStepCount = sizeof kStatusSteps / sizeof kStatusSteps[0];

const char* const kPictureExtensions[] = {".bmp", ".gif", ".jpg", ".jpeg", ".tiff", ".tif", ".png"};

bool IsPictureExtension(const CString& path)
{
    const int dot = path.ReverseFind('.');
    CString extension = dot >= 0 ? path.Mid(dot) : path;
    extension.MakeLower();
    for (const char* known : kPictureExtensions) {
        if (extension == known)
            return true;
    }
    return false;
}

// The engine still has the file open while it writes it; an exclusive open
// for writing fails until it has closed it.
bool IsFileReady(const CString& path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

}  // namespace

void CRecoveryDlg::OnRescanTick()
{
    KillTimer(TIMER_RESCAN);
    StartIntakeBatch(m_bEngineRunning);
}

void CRecoveryDlg::StartIntakeBatch(bool engineRunning)
{
    m_newFiles.clear();
    CollectFiles(m_strDataDir);
    if (!m_newFiles.empty()) {
        m_nBatchIndex = 0;
        m_nBatchCount = static_cast<int>(m_newFiles.size());
        m_nNextItem = m_imageList.GetImageCount();
        m_bRescanAfterBatch = engineRunning;
        SetTimer(TIMER_INTAKE, kIntakeInterval);
    } else if (engineRunning) {
        SetTimer(TIMER_RESCAN, kRescanInterval);
    } else {
        EnterAnalysedState();
    }
}

void CRecoveryDlg::CollectFiles(CString folder)
{
    if (folder.IsEmpty())
        return;
    CString pattern = folder;
    if (pattern.Find("\\*.*") < 0)
        pattern += pattern.GetAt(pattern.GetLength() - 1) == '\\' ? "*.*" : "\\*.*";

    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    const CString base = pattern.Left(pattern.ReverseFind('\\') + 1);
    do {
        const CString name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        // A link or junction could lead back up the tree and never end the
        // walk; the engine writes plain files and folders only.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            continue;
        const CString path = base + name;
        if (IsFolder(path))
            CollectFiles(path);
        else
            m_newFiles.push_back(path);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

void CRecoveryDlg::OnIntakeTick()
{
    if (m_nBatchIndex >= m_nBatchCount) {
        KillTimer(TIMER_INTAKE);
        if (m_bRescanAfterBatch)
            SetTimer(TIMER_RESCAN, kRescanInterval);
        else
            EnterAnalysedState();
        return;
    }

    const CString status = m_lblStatus.GetWindowText();
    int next = 0;
    for (int step = 0; step < kStatusStepCount - 1; ++step) {
        if (status == kStatusSteps[step]) {
            next = step + 1;
            break;
        }
    }
    m_lblStatus.SetCaption(kStatusSteps[next]);

    if (m_nBatchIndex >= static_cast<int>(m_newFiles.size())) {
        m_nBatchIndex = m_nBatchCount;
        return;
    }
    const CString path = m_newFiles[static_cast<size_t>(m_nBatchIndex)];

    if (!PathFileExistsA(path) || IsPictureListed(path) || !IsFileReady(path) || !IsPictureExtension(path)) {
        ++m_nBatchIndex;
        return;
    }

    CString source = path;
    if (!CanDecodePicture(path)) {
        source = GetModuleFolder() + "icon.png";
        if (!PathFileExistsA(source)) {
            ++m_nBatchIndex;
            return;
        }
    }

    AddPicture(source, path);
    ++m_nNextItem;
    // Moved on before the message: its box lets further ticks run, and they
    // must not decide this entry a second time.
    ++m_nBatchIndex;
    if (m_listPictures.GetItemCount() != m_nNextItem)
        MessageBox("Photo items count error", nullptr, MB_OK);
}

void CRecoveryDlg::EnterAnalysedState()
{
    m_lblProgress.SetCaption("");
    m_lblProgress.MoveWindow(m_rcProgressText, FALSE);
    m_lblProgress.ShowWindow(SW_HIDE);

    m_lblStatus.SetCaption("Press 'Recover' to recover files detected.");
    m_lblStatus.ShowWindow(SW_SHOW);

    m_lblSelectAll.SetCaption(m_strUnselectAll);
    m_lblSelectAll.ShowWindow(SW_SHOW);
    m_lblSelectAll.EnableWindow(m_listPictures.GetItemCount() > 0);

    m_btnRecover.SetWindowText("Recover");
    m_btnRecover.ShowWindow(SW_SHOW);
}
