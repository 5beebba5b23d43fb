// The copy of the disk kept while searching, and the drive list it adds
// to: the option's tick, its folder (changed only by its own Browse, as the
// save folder is) and that Browse, kept as the diskcopy= line of
// settings.ini; the drives listed with the saved copies that folder holds
// (at start, on Reload and when the folder changes); Open a copy, which
// lists any .img picked after the drives and selects it; and, before a
// search, the copy's file checked against its folder.
// Contract: the option is held here as values; the view only shows it.
// OnCommand takes the commands of the option's controls, Open a copy and
// Reload, and says whether it took one. Prepare refuses a folder not
// chosen, not there, on the disk about to be searched or without room for
// the disk, each with its own box through the window (IWindowHost); a
// saved copy is searched as it is, with no copy of it. The pickers and the
// disk queries are the window's (IDiskCopyHost), asked at each use.
// Limits: the window's thread; the saved copies are listed by reading
// their folder on it.
#pragma once

#include <windows.h>

#include <vector>

#include "DriveDiscovery.h"
#include "MainView.h"
#include "String.h"
#include "WindowHost.h"

// What the option asks of the window besides its boxes: what a person
// picks, and the machine's disks (the window's test seams).
class IDiskCopyHost {
public:
    virtual ~IDiskCopyHost() = default;
    // A folder picked by hand; false when none is.
    virtual bool PickFolder(CString& path) = 0;
    // A saved copy of a disk (.img) picked by hand; false when none is.
    virtual bool PickDiskCopy(CString& path) = 0;
    // The disk queries of the drive list and of the copy's place.
    virtual IDriveSystem& DriveSystem() = 0;
};

class CDiskCopyOption {
public:
    CDiskCopyOption(IWindowHost& host, IDiskCopyHost& machine, CMainView& view);
    CDiskCopyOption(const CDiskCopyOption&) = delete;
    CDiskCopyOption& operator=(const CDiskCopyOption&) = delete;

    // At start: the option as settings.ini keeps it, and the drives listed.
    void Restore();
    // A command of the window; true when it was one of this part's.
    bool OnCommand(UINT id, UINT code);
    // Next on chosen: the file the engine is to copy the disk into in
    // copyPath (empty: no copy wanted, or chosen is a saved copy); false,
    // told in a box, when the copy's folder is refused.
    bool Prepare(const DriveEntry& chosen, CString& copyPath);

    bool Wanted() const { return m_wanted; }
    const CString& Folder() const { return m_folder; }

private:
    // The drives, then the saved copies in the folder.
    std::vector<DriveEntry> ListedDrives();
    void ListDrives();
    void OnTicked();
    void OnBrowse();
    void OnOpenCopy();

    IWindowHost& m_host;
    IDiskCopyHost& m_machine;
    CMainView& m_view;
    bool m_wanted = false;
    CString m_folder;
};
