// What the window shows of the finds besides the list control itself: the
// count line, what the filter bar asks the list to show, and the large
// preview the list opens. It is the list's host: the list's ticks go to the
// count line, and a double click on a picture (not on its tick box) or
// Enter on the selected one opens the preview, which steps through the
// pictures in the order the list shows them.
#pragma once

#include <windows.h>

#include "IntakePacer.h"
#include "MainView.h"
#include "PicturePreview.h"
#include "PictureList.h"

class CFindsView : private IPictureListHost {
public:
    CFindsView(CPictureList& list, CPicturePreview& preview, CMainView& view, CIntakePacer& pacer);

    // The list takes the view's list control, with this window the
    // preview's owner.
    void Attach(HWND window);

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

    CPictureList& m_list;
    CPicturePreview& m_preview;
    CMainView& m_view;
    CIntakePacer& m_pacer;
    HWND m_window = nullptr;
};
