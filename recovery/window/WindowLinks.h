// The window's two links: Help (and F1) opens the program's help file,
// Settings the dialog of the formats searched for.
// Contract: OnCommand takes the links' clicks and says whether it took
// one; the help opens over the window given. Limits: the window's thread;
// the settings dialog is modal, and what it changes is read again by every
// search, so nothing here reloads anything.
#pragma once

#include <windows.h>

#include "Framework.h"

class CWindowLinks {
public:
    explicit CWindowLinks(CWnd& window) : m_window(window) {}
    CWindowLinks(const CWindowLinks&) = delete;
    CWindowLinks& operator=(const CWindowLinks&) = delete;

    // A command of the window; true when it was a click on a link.
    bool OnCommand(UINT id, UINT code);
    void OpenHelp();

private:
    CWnd& m_window;
};
