// The folder a search keeps its finds in, and the clearing out of earlier
// ones. Every search starts in an empty work folder: the per-user one, or,
// when that lies on the disk being searched, a hidden folder inside the save
// folder. The folder of the search before is renamed aside at once and
// deleted off the window's thread, so that Next never waits for it; a moved
// work folder an earlier search left on another drive goes too. Questions
// to the user stay the caller's: they are asked through a callback or told
// by what is returned.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "DriveDiscovery.h"
#include "FolderRemover.h"
#include "Framework.h"

class CWorkFolderPlace;

class CWorkFolders {
public:
    CWorkFolders() = default;
    CWorkFolders(const CWorkFolders&) = delete;
    CWorkFolders& operator=(const CWorkFolders&) = delete;

    // The per-user work folder, which every search empties.
    static CString DefaultFolder();
    // The work folders a search may have left its finds in: the per-user
    // one and the one a search moved to a save folder's drive.
    static std::vector<CString> KeptFolders();

    // Posts message to window whenever the folders put aside are all gone.
    void NotifyWhenCleared(HWND window, UINT message);
    // Called before a folder is put aside: nothing may be reading the old
    // finds while they go.
    void OnPutAside(std::function<void()> release) { m_release = std::move(release); }

    // Keeps the work folder off the searched disk: movedFolder is set when
    // it goes to the save folder's drive. searchOwnDisk asks whether to
    // search anyway when neither folder can leave the disk; false when it
    // says no.
    bool Choose(IDriveSystem& system, const DriveEntry& chosen, const CString& device, const CString& saveFolder,
                const std::function<bool()>& searchOwnDisk, CString& movedFolder);

    enum class Prepared {
        Ready,
        // Ready, but the output folder's name was taken and "_1" added.
        OutFolderTaken,
        // The folder could not be made ("Failed to initialize data").
        Failed,
    };
    // Makes the empty work folder for a search: the per-user one when
    // movedFolder is empty, else the moved one.
    Prepared Prepare(const CString& movedFolder);

    // Lists an earlier search's finds again, from the folders it recorded.
    void UseListed(const CString& folder, const CString& outFolder);

    // The search's work folder, and the folder inside it the engine writes to.
    const CString& Folder() const { return m_folder; }
    const CString& OutFolder() const { return m_outFolder; }
    // Where the search's thumbnail cache goes: beside the per-user work
    // folder, which holds nothing but the engine's finds, and inside a
    // moved one, which is hidden in the save folder and all the program's.
    CString CacheFolder() const;

    // An earlier search's folder is still being deleted.
    bool Clearing() const { return m_remover.Busy(); }
    // Everything put aside is gone: workfolder.ini forgets the moved work
    // folder once nothing of it is left.
    void Cleared();
    // Stops deleting; what is left is swept at a later search.
    void Stop() { m_remover.Stop(); }

    // The engine's program in the per-user engine folder, once its files are
    // all there; else the message that says what is missing.
    static CString CheckEngineFiles(CString& enginePath);
    // The image file the engine's device table maps device to; empty when
    // the engine reads the disk itself.
    static CString DeviceImage(const CString& device);

private:
    Prepared PrepareDefault();
    Prepared PrepareMoved(const CString& folder);
    Prepared Use(const CString& folder);
    void PutAside(const CString& folder);
    void RemoveMoved(const CWorkFolderPlace& place, const CString& ownFolder);

    CString m_folder;
    CString m_outFolder;
    // The moved work folder of an earlier search being deleted.
    CString m_removingMoved;
    HWND m_notify = nullptr;
    UINT m_notifyMessage = 0;
    std::function<void()> m_release;
    CFolderRemover m_remover;
};
