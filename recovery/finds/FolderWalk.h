// A walk of the data folder's tree that stops when its time is up and goes
// on where it stopped at the next call, so that no tick of the window
// holds it for long however many files the engine has written.
//
// A walk may pass over a folder that has not changed since an earlier walk
// read it whole (same last-write time, no sub-folders): the engine's full
// folders then cost nothing. Folder times are not updated by every file
// system, so a walk that must see everything (the one after the engine's
// end) is started without that shortcut.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Framework.h"

class CFolderWalk {
public:
    CFolderWalk() = default;
    ~CFolderWalk();
    CFolderWalk(const CFolderWalk&) = delete;
    CFolderWalk& operator=(const CFolderWalk&) = delete;

    void Start(const CString& root, bool passUnchanged);
    bool Active() const { return m_active; }
    // Walks on for about budget, handing each file found to found; true
    // when the walk has ended.
    bool Continue(std::chrono::milliseconds budget, const std::function<void(const CString&)>& found);
    // The next walk reads this folder again.
    void Forget(const CString& folder);
    // Ends a walk in progress and forgets every folder read.
    void Reset();

private:
    struct Frame {
        HANDLE find = INVALID_HANDLE_VALUE;
        WIN32_FIND_DATAA entry = {};
        bool hasEntry = false;
        CString folder;
        FILETIME stamp = {};  // the folder's last-write time before it was read
        bool leaf = true;     // no sub-folder seen in it
    };
    struct Seen {
        FILETIME stamp;
        bool leaf;
    };

    void Push(const CString& folder, const FILETIME& stamp);
    // whole: every entry of the folder was read.
    void Pop(bool whole);

    std::vector<Frame> m_stack;
    std::unordered_map<std::string, Seen> m_seen;
    bool m_active = false;
    bool m_passUnchanged = false;
};
