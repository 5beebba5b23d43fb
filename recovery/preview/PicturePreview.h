// The large preview of one find: a window of its own beside the main one,
// the picture fitted to it, its details, its tick and steps through the
// list in the order the list shows. The full picture is decoded on a worker
// thread; the JPEG's Exif thumbnail stands in for it meanwhile.
#pragma once

#include <windows.h>

#include "DecodedPicture.h"
#include "Framework.h"
#include "PreviewDecoder.h"
#include "PreviewLayout.h"

// What the preview asks of the window that owns the pictures. Items are
// the window's own numbers for its pictures (stable while the list is
// filtered or sorted); positions are places in the list as it shows them now.
class IPreviewHost {
public:
    virtual ~IPreviewHost() = default;
    virtual int ShownCount() = 0;             // pictures the list shows now
    virtual int ItemAt(int position) = 0;     // -1 when out of range
    virtual int PositionOf(int item) = 0;     // -1 when not shown now (filtered out)
    virtual CString PicturePath(int item) = 0; // the found file (may be one that does not decode)
    virtual CString PictureTitle(int item) = 0;   // e.g. the name, for the caption
    virtual CString PictureDetails(int item) = 0; // several lines ("\r\n"), shown beside the picture
    virtual bool IsTicked(int item) = 0;
    virtual void SetTicked(int item, bool ticked) = 0;  // the host redraws its list
    virtual void OnPreviewStep(int item) = 0;  // the preview now shows item (host may select/scroll to it)
};

class CPicturePreview : public CWnd {
public:
    // The preview's controls.
    enum : int {
        IDC_PREVIEW_PREVIOUS = 101,
        IDC_PREVIEW_NEXT = 102,
        IDC_PREVIEW_TICK = 103,
        IDC_PREVIEW_POSITION = 104,
        IDC_PREVIEW_DETAILS = 105,
        IDC_PREVIEW_MESSAGE = 106,  // "Loading...", the damaged text or why it is not drawn
        IDC_PREVIEW_CLOSE = IDCANCEL,
    };
    // What the picture area shows (see PreviewDecoder.h).
    using Showing = PreviewShowing;

    static const char kClassName[];
    static const char kDamagedText[];

    CPicturePreview();
    ~CPicturePreview() override;

    // Opens the preview on item (or brings it to the front showing item if open). owner: the main window.
    void Open(HWND owner, IPreviewHost& host, int item);
    void Close();
    bool IsOpen() const;
    int Item() const;                 // the item shown, -1 when closed
    void OnPicturesChanged();         // the host's list changed (new finds, filter, sort): refresh buttons, position text, details

    // Steps as the keys and buttons do: -1 previous, +1 next. False at an end.
    bool Step(int direction);
    // Home and End.
    bool StepToEnd(bool last);

    Showing GetShowing() const { return m_shown.showing; }
    // Full decodes the worker has begun since the object was made.
    int DecodesStarted() const;

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(HDC hdc);
    void OnSize(UINT type, int cx, int cy);
    void OnClose();
    void OnDestroy();
    void OnPrevious();
    void OnNext();
    void OnTick();
    void OnCloseButton();
    LRESULT OnDecoded(WPARAM wParam, LPARAM lParam);
    LRESULT OnCtlColorStatic(WPARAM wParam, LPARAM lParam);
    void OnGetMinMaxInfo(MINMAXINFO* info);
    void OnActivate(UINT state, HWND other, BOOL minimized);

    DECLARE_MESSAGE_MAP()

private:
    bool Create(HWND owner);
    void CenterOnOwner(HWND owner);
    void CreateControls();
    PreviewControls Controls() const;
    void Layout();
    void ShowItem(int item);
    void Refresh();
    void UpdateMessage();
    void RequestDecode();
    void ToggleTick();
    // The list position a step in direction goes to, or -1.
    int Target(int direction);
    void SetShown(PreviewImage image);
    RECT PictureArea() const { return m_layout.PictureArea(Controls()); }
    HWND Control(int id) const { return ::GetDlgItem(m_hWnd, id); }

    IPreviewHost* m_host = nullptr;
    int m_item = -1;
    int m_lastPosition = -1;  // where the item was last seen in the list
    PreviewImage m_shown;
    CGdiBitmap m_placeholder;
    HFONT m_font = nullptr;
    HWND m_focus = nullptr;    // given back when the window is activated again
    CPreviewLayout m_layout;   // the controls' places, following the window's edges
    CPreviewDecoder m_decoder;  // the full picture, off the window's thread
};
