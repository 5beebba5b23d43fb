// The picture list: thumbnails (small, 64 x 64, unless the user chose
// medium or large ones) with their names, one ticked item per picture, each carrying its own file's path. The pictures are held
// here (CPictureItems) and the view (CPictureView) says which of them the
// control shows in what order; the control keeps no items (LVS_OWNERDATA),
// it only knows how many it shows and asks for the image, name and tick of
// each one it draws, so that listing ten thousand pictures costs no more
// than listing ten. The control does not keep ticks of items it does not
// own: a click on a tick box and the space bar are turned into ticks here.
//
// Its window's parent forwards the control's notifications (OnNotify) and
// the messages bound for it (PreTranslate); the list tells its host when
// ticks change and when a picture is to be opened. It answers the preview's
// questions itself, and takes what the intake hands on.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "BoxThumbnails.h"
#include "FindsIntake.h"
#include "Framework.h"
#include "PictureItems.h"
#include "PicturePreview.h"
#include "PictureTip.h"
#include "PictureView.h"
#include "RecoveredPictures.h"
#include "ThumbnailCache.h"
#include "ThumbnailSlots.h"

class IPictureListHost {
public:
    // Ticks changed by the user in the list or the preview.
    virtual void OnTicksChanged() = 0;
    // The picture at this place of the list is to be opened (double click,
    // Enter).
    virtual void OnOpenPicture(int position) = 0;
    // The user chose another thumbnail size in the list (Ctrl + wheel).
    virtual void OnThumbnailSizeChosen(int box) { (void)box; }
    // The user sorted the details view by a column's header.
    virtual void OnSortChosen(PictureSort sort) { (void)sort; }

protected:
    ~IPictureListHost() = default;
};

class CPictureList : public IFindsSink, public IPreviewHost {
public:
    // What the count line tells.
    struct Counts {
        int shown = 0;
        int found = 0;
        int ticked = 0;  // of those shown
        uint64_t tickedBytes = 0;
        int recovered = 0;
        int damaged = 0;
    };

    CPictureList() = default;
    CPictureList(const CPictureList&) = delete;
    CPictureList& operator=(const CPictureList&) = delete;

    // Takes over the owner-data list control: tick boxes, thumbnails, and a
    // tooltip with the details of the picture under the pointer.
    bool Attach(HWND list, IPictureListHost& host);
    // Takes the thumbnails' image list off the control, which must not
    // destroy it (it goes after its parent).
    void Detach();

    // The control's notifications and the tooltip's, forwarded by the
    // parent; false when the notification is none of the list's.
    bool OnNotify(NMHDR* header, LRESULT& result);
    // A message bound for the control, before it is dispatched: moves the
    // tooltip along, and Enter opens the selected picture. True when used.
    bool PreTranslate(const MSG& msg);

    // A picture with its thumbnail; the control hears of it from
    // ShowCount, once for all the pictures of a tick.
    void Add(const CString& path, const ThumbnailPixels& pixels, const ::PictureDetails& details, bool decodes);
    // IFindsSink: new finds and records of finds listed.
    int AddFind(const NewFind& find) override;
    void UpdateFind(int item, const FindRecord& record) override;
    // Tells the control how many pictures it shows now.
    void ShowCount();
    // The control has not heard of every picture shown or of a new order.
    bool CountChanged() const;
    bool Reordered() const { return m_bReordered; }
    // In the order found, to the newest find, while the user looks at the
    // newest: not once they scrolled away from the find last scrolled to,
    // selected a picture or moved the focus onto one. Sorted, the place is
    // kept.
    void ScrollToLast();
    // The control changed size: the pictures fill its rows again.
    void Arrange();
    // Shows the pictures in box x box thumbnails (64, 128 or 256; false for
    // any other). Ticks, the selection and the place stay: the focused
    // picture, or else the first in view, is in view again.
    bool SetThumbnailSize(int box);
    // The size chosen (64, 128 or 256), as at 96 dots per inch.
    int ThumbnailSize() const { return m_size; }
    // The screen's dots per inch: the boxes and the thumbnails made for them
    // are as large on screen as at 96 (a small box of 96 pixels at 144).
    // The list's own screen's until told (WM_DPICHANGED).
    void SetDpi(UINT dpi);
    // The side in pixels of the box of this size at the list's resolution.
    int BoxPixels(int box) const;
    // The same pictures as rows with their details in columns (true), or as
    // thumbnails of the size set. A click on a column's header sorts by it.
    void ShowDetails(bool details);
    bool ShowsDetails() const { return m_details; }
    // The medium and large thumbnails held now (made as they are shown).
    const CBoxThumbnails& BoxThumbnails() const { return m_boxes; }
    // Small thumbnails held in memory now. While the list shows other than
    // small ones, those kept in the cache file are let go, and they come
    // back from it as they are drawn again.
    int HeldSmallThumbnails() const { return m_pictures.HeldThumbnails(); }
    // The thumbnails made for this list are kept in a file in folder (the
    // search's work folder) from now on, until the list is emptied; without
    // one (a full or read-only disk) they are held in memory as before.
    void KeepThumbnailsIn(const CString& folder);
    // Closes and deletes the cache file, so that its folder can go.
    void LetGoOfThumbnailCache();
    const CThumbnailCache& ThumbnailCache() const { return m_cache; }
    // Empties the list and forgets what was recovered; the cache file goes.
    void Clear();

    // What is shown: the view is set again; the focused picture stays
    // focused where it goes. Reset sets it without telling the control.
    void ApplyFilter(const PictureFilter& filter, PictureSort sort);
    void ResetView(const PictureFilter& filter, PictureSort sort);
    const PictureFilter& ShownFilter() const { return m_view.Filter(); }

    // Ticks or unticks the pictures at these places of the list.
    void SetTicks(const std::vector<int>& positions, bool ticked);
    // Ticks or unticks every picture shown; hidden ones keep theirs.
    void TickShown(bool ticked);
    bool AnyShownTicked() const;
    // The ticked pictures shown, in the list's order.
    std::vector<int> TickedShown() const;
    // Marks pictures recovered and unticks them.
    void MarkRecovered(const std::vector<int>& items);
    Counts Count() const;

    const CPictureItems& Items() const { return m_pictures; }
    // The path of the picture at this place of the list as shown.
    CString PathAt(int position) const;
    HIMAGELIST Images() const { return m_slots.Handle(); }
    HWND Handle() const { return m_hList; }
    // The tooltip that tells the details of the picture under the pointer.
    HWND Tip() const { return m_tip.Handle(); }

    // IPreviewHost: the pictures as the list shows them.
    int ShownCount() override;
    int ItemAt(int position) override;
    int PositionOf(int item) override;
    CString PicturePath(int item) override;
    CString PictureTitle(int item) override;
    CString PictureDetails(int item) override;
    bool IsTicked(int item) override;
    void SetTicked(int item, bool ticked) override;
    void OnPreviewStep(int item) override;

private:
    void OnDispInfo(NMHDR* header);
    LRESULT OnFindItem(NMHDR* header);
    void OnClick(NMHDR* header, bool twice);
    void OnKeyDown(NMHDR* header);
    // Medium or large thumbnails were made: drawn where they are in view.
    void OnThumbnailsMade();
    // The focused place when it is in view, else the first place in view.
    int PlaceInView() const;
    // The list's view changes, keeping the place in view.
    void ChangeView(const std::function<void()>& change);
    void OnColumnClick(NMHDR* header);
    // The header's arrow shows the order.
    void ShowSortArrow();
    // The image list made again with slots for the box of this size (64,
    // 128 or 256) at the list's resolution.
    bool MakeSlots(int box);
    // Whether the small thumbnails are what the list draws now (else they
    // are only stand-ins, and are given to the cache and let go).
    bool DrawsSmallThumbnails() const;
    // The view changed: the small thumbnails are written to the cache and
    // let go, or come back as they are drawn.
    void OnViewChanged();
    // Lets go of the small thumbnails the cache has written.
    void DropCachedSmallThumbnails();
    // The item's small thumbnail, from memory or from the cache, made again
    // when neither has it; held again when the list draws small ones.
    const uint8_t* SmallThumbnail(int item);
    void TrackTip(const MSG& msg);
    // Whether any of the places first to last is in the list's view.
    bool InView(int first, int last) const;
    bool LooksElsewhere() const;
    void Redraw(int position);
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    int NextItem(int after, UINT flags) const;
    void SetState(int position, UINT state, UINT mask);

    HWND m_hList = nullptr;
    IPictureListHost* m_host = nullptr;
    CPictureItems m_pictures;
    CPictureView m_view;
    // The few thumbnails the control draws from.
    CThumbnailSlots m_slots;
    // Before m_boxes: its worker writes to it.
    CThumbnailCache m_cache;
    CBoxThumbnails m_boxes;
    int m_size = kThumbSize;
    UINT m_dpi = 96;
    // A small thumbnail read back while larger ones are shown.
    std::vector<uint8_t> m_smallRead;
    // Told to the control's window when m_boxes has thumbnails made, and
    // when the cache has written the small ones handed to it.
    UINT m_madeMessage = 0;
    UINT m_cachedMessage = 0;
    bool m_details = false;
    bool m_columnsMade = false;
    // Recovered in this session.
    CRecoveredPictures m_recovered;
    // Pictures placed elsewhere than at the list's end since the control
    // was last told: it must draw everything.
    bool m_bReordered = false;
    // The place of the find last scrolled to, -1 before the first.
    int m_followed = -1;
    // The focused place when the list last followed.
    int m_focusSeen = -1;
    CPictureTip m_tip;
};
