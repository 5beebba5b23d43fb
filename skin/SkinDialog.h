// CSkinDialog: a dialog whose client area is tiled with a bitmap (the skin).
#pragma once

#include "Framework.h"

class CSkinDialog : public CDialog {
public:
    CSkinDialog(UINT nIDTemplate, CWnd* pParent = nullptr);
    ~CSkinDialog() override;

    // Loads the bitmap resource and makes it the skin; SetBitmap's result.
    int SetBitmap(UINT nIDResource);
    // Takes ownership of hBitmap. 0 done (also for no bitmap: no skin);
    // 1 the bitmap's description cannot be read (the skin is released).
    int SetBitmap(HBITMAP hBitmap);
    void ReleaseSkin();

protected:
    HBITMAP m_hSkinBitmap = nullptr;
    DWORD m_dwSkinWidth = 0;
    DWORD m_dwSkinHeight = 0;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnEraseBkgnd(HDC hdc);
    // Draws the skin's part that lies under area (client coordinates) into
    // hdc, whose origin is that area's corner.
    void DrawSkin(HDC hdc, const RECT& area);
    LRESULT OnCtlColorButtonLike(WPARAM wParam, LPARAM lParam);
    void OnSize(UINT nType, int cx, int cy);

    DECLARE_MESSAGE_MAP()
};
