#include "WorkFolders.h"

#include <shlwapi.h>

#include "FileUtils.h"
#include "SettingsFiles.h"
#include "WorkFolderPlace.h"

namespace {

const char kEngineFolderName[] = "tarnwick-software";
const char kInstallBroken[] = ". Installation may be corrupted, please try to re-install Quorvane";
// The longest name the engine writes below its output folder:
// "\temp_1\d0001\f0123456789.jpg.part".
const int kLongestOutputName = 34;

// Exactly one backslash between the parts.
CString JoinPath(const CString& folder, const char* name)
{
    CString path = folder;
    if (!path.IsEmpty() && path.GetAt(path.GetLength() - 1) != '\\')
        path += '\\';
    path += name;
    return path;
}

// False when the folder neither could be made nor was there already. An
// unknown application-data folder would otherwise make a relative path.
bool MakeFolder(const CString& folder, const CString& parent)
{
    if (parent.IsEmpty())
        return false;
    return CreateDirectoryA(folder, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

CString EngineFolder() { return JoinPath(GetAppDataFolder(), kEngineFolderName); }

}  // namespace

CString CWorkFolders::DeviceImage(const CString& device) { return FindDeviceImage(EngineFolder(), device); }

CString CWorkFolders::DefaultFolder() { return JoinPath(EngineFolder(), "data"); }

CString CWorkFolders::CacheFolder() const
{
    if (lstrcmpiA(m_folder, DefaultFolder()) == 0)
        return EngineFolder();
    return m_folder;
}

std::vector<CString> CWorkFolders::KeptFolders()
{
    std::vector<CString> folders;
    const CString appData = GetAppDataFolder();
    if (!appData.IsEmpty())
        folders.push_back(appData + "\\" + kEngineFolderName + "\\data");
    const CString moved = ReadMovedWorkFolder();
    if (!moved.IsEmpty())
        folders.push_back(moved);
    return folders;
}

void CWorkFolders::NotifyWhenCleared(HWND window, UINT message)
{
    m_notify = window;
    m_notifyMessage = message;
}

bool CWorkFolders::Choose(IDriveSystem& system, const DriveEntry& chosen, const CString& device,
                          const CString& saveFolder, const std::function<bool()>& searchOwnDisk,
                          CString& movedFolder)
{
    const CString engineFolder = EngineFolder();
    const CString tableImage = FindDeviceImage(engineFolder, device);
    const CWorkFolderPlace place(system, chosen, tableImage.IsEmpty() ? chosen.strImage : tableImage);
    switch (place.Choose(JoinPath(engineFolder, "data"), saveFolder)) {
    case WorkFolderPlace::Default:
        break;
    case WorkFolderPlace::SaveDrive:
        movedFolder = JoinPath(saveFolder, kMovedWorkFolderName);
        break;
    case WorkFolderPlace::Ask:
        if (!searchOwnDisk())
            return false;
        break;
    }
    RemoveMoved(place, movedFolder);
    return true;
}

void CWorkFolders::RemoveMoved(const CWorkFolderPlace& place, const CString& ownFolder)
{
    // The work folder an earlier search made on a save folder's drive goes,
    // unless it is this search's own or lies on the disk searched now
    // (deleting writes too; it goes at a later search). Only a folder of
    // that name is ever removed, whatever the remembered path says.
    const CString left = ReadMovedWorkFolder();
    if (left.IsEmpty() || left == ownFolder)
        return;
    if (left.Mid(left.ReverseFind('\\') + 1) != kMovedWorkFolderName) {
        ForgetMovedWorkFolder();
        return;
    }
    if (!place.KeepsClearOfSearch(left))
        return;
    // Put aside at once and deleted in the background; one that cannot be
    // put aside now (a file in it is in use) is tried again next time.
    // The name is remembered until nothing of it is left, so that what a
    // closed or crashed program leaves half deleted goes at a later search.
    PutAside(left);
    m_removingMoved = left;
    Cleared();
}

void CWorkFolders::Cleared()
{
    if (m_removingMoved.IsEmpty() || m_remover.Busy())
        return;
    const CString folder = m_removingMoved;
    m_removingMoved = "";
    if (PathFileExistsA(folder) || CFolderRemover::LeftoversOf(folder.str()))
        return;
    // A search since may have moved its own work folder elsewhere.
    if (ReadMovedWorkFolder() == folder)
        ForgetMovedWorkFolder();
}

void CWorkFolders::PutAside(const CString& folder)
{
    if (m_release)
        m_release();
    m_remover.NotifyWhenIdle(m_notify, m_notifyMessage);
    m_remover.Remove(folder.str());
}

CWorkFolders::Prepared CWorkFolders::Prepare(const CString& movedFolder)
{
    return movedFolder.IsEmpty() ? PrepareDefault() : PrepareMoved(movedFolder);
}

CWorkFolders::Prepared CWorkFolders::PrepareDefault()
{
    const CString appData = GetAppDataFolder();
    const CString engineFolder = JoinPath(appData, kEngineFolderName);
    if (!MakeFolder(engineFolder, appData))
        return Prepared::Failed;
    const CString dataFolder = JoinPath(engineFolder, "data");
    PutAside(dataFolder);
    if (!MakeFolder(dataFolder, engineFolder))
        return Prepared::Failed;
    return Use(dataFolder);
}

CWorkFolders::Prepared CWorkFolders::PrepareMoved(const CString& folder)
{
    // The save folder may not exist yet; the copy would make it anyway.
    const CString saveFolder = folder.Left(folder.ReverseFind('\\'));
    CreateDirectoryA(saveFolder, nullptr);
    if (folder.GetLength() + kLongestOutputName >= MAX_PATH)
        return Prepared::Failed;
    PutAside(folder);
    if (!MakeFolder(folder, saveFolder))
        return Prepared::Failed;
    // Hidden, so that the save folder shows only the recovered pictures.
    const DWORD attributes = GetFileAttributesA(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesA(folder, attributes | FILE_ATTRIBUTE_HIDDEN);
    // Remembered before anything is written into it, so that a later
    // search removes it even if this one never ends. The file is most
    // likely on the searched disk: it is written only when it changes.
    if (ReadMovedWorkFolder() != folder)
        WriteMovedWorkFolder(folder);
    return Use(folder);
}

CWorkFolders::Prepared CWorkFolders::Use(const CString& folder)
{
    m_folder = folder;
    // Normally new and empty: the last search's folder was put aside. One
    // that could not be (a file in it in use) is emptied here, which takes
    // its time.
    if (IsFolder(m_folder))
        DeleteFolderTree(m_folder, false);

    m_outFolder = m_folder + "\\temp";
    if (!PathFileExistsA(m_outFolder))
        return Prepared::Ready;
    m_outFolder += "_1";
    return Prepared::OutFolderTaken;
}

void CWorkFolders::UseListed(const CString& folder, const CString& outFolder)
{
    m_folder = folder;
    m_outFolder = outFolder;
}

CString CWorkFolders::CheckEngineFiles(CString& enginePath)
{
    const CString appData = GetAppDataFolder();
    const CString engineFolder = JoinPath(appData, kEngineFolderName);
    if (!MakeFolder(engineFolder, appData))
        return "Failed to load engine, error code -1007";
    enginePath = JoinPath(engineFolder, "photo.exe");
    if (!PathFileExistsA(enginePath))
        return CString("Failed to load engine, error code -1003") + kInstallBroken;
    if (!PathFileExistsA(JoinPath(engineFolder, "cygwin1.dll")))
        return CString("Failed to load engine, error code -1004") + kInstallBroken;
    if (!PathFileExistsA(JoinPath(JoinPath(engineFolder, "63"), "cygwin")))
        return CString("Failed to load engine, error code -1005") + kInstallBroken;
    return "";
}
