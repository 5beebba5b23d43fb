// Data exchange between a dialog and the objects bound to its items.
#pragma once

#include <windows.h>

class CWnd;

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_pDlgWnd(pDlgWnd), m_bSaveAndValidate(bSaveAndValidate) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Binds rControl to dialog item nIDC (once): subclasses the item, which runs
// the control's PreSubclassWindow.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
