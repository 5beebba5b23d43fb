// What the window shows of the finds besides the list control itself: the
// count line, what the filter bar asks the list to show, Select All (and
// Ctrl+A), and the large preview the list opens. It is the list's host: the
// list's ticks go to the count line, and a double click on a picture (not
// on its tick box) or Enter on the selected one opens the preview, which
// steps through the pictures in the order the list shows them.
// Contract: OnCommand takes the filter bar's news and the select-all
// label's click, OnKey Ctrl+A where the view lets it tick; Select All and
// Ctrl+A tick or untick only the pictures shown (a filter's hidden ones
// keep their ticks) and have the window show the label's next text.
// Limits: the window's thread.
#pragma once

#include <windows.h>

#include "IntakePacer.h"
#include "MainView.h"
#include "PicturePreview.h"
#include "PictureList.h"
#include "WindowHost.h"
#include "WindowState.h"

class CFindsView : private IPictureListHost {
public:
    CFindsView(IWindowHost& host, CWindowState& state, CPictureList& list, CPicturePreview& preview, CMainView& view,
               CIntakePacer& pacer);

    // The list takes the view's list control, with this window the
    // preview's owner.
    void Attach(HWND window);

    // A command of the window; true when it was the filter bar's or the
    // select-all label's.
    bool OnCommand(UINT id, UINT code);
    // A key about to be dispatched; true when it was Ctrl+A and ticked the
    // pictures shown.
    bool OnKey(const MSG& msg);
    // Shows what the filter bar now asks for, keeping the selection's
    // picture in view.
    void ApplyFilter();
    // Everything shown again, in the order found.
    void ResetFilters();
    // The count line, at most every few ticks unless now is set.
    void ShowCountLine(bool now);
    // The pictures changed (new finds, ticks): the open preview follows.
    void PicturesChanged();

private:
    void OnTicksChanged() override;
    void OnOpenPicture(int position) override;
    void OnThumbnailSizeChosen(int box) override;
    void OnSortChosen(PictureSort sort) override;
    // The thumbnails of this size, or the details for 0.
    bool ShowView(int view);
    // Ticks (or unticks) the pictures shown; the label then offers the
    // other.
    void TickShown(bool tick);

    IWindowHost& m_host;
    CWindowState& m_state;
    CPictureList& m_list;
    CPicturePreview& m_preview;
    CMainView& m_view;
    CIntakePacer& m_pacer;
    HWND m_window = nullptr;
};
