// The picture list's image list: a fixed number of slots of the list's box
// size, each holding the thumbnail of an item the list has drawn lately. An item asked for that
// has no slot takes the one filled longest ago, so only the thumbnails on
// screen (and a few hundred before them) are GDI images at any time.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <vector>

#include "Framework.h"
#include "Thumbnail.h"

class CThumbnailSlots {
public:
    CThumbnailSlots() = default;
    ~CThumbnailSlots();
    CThumbnailSlots(const CThumbnailSlots&) = delete;
    CThumbnailSlots& operator=(const CThumbnailSlots&) = delete;

    // Makes the image list with this many box x box slots (64 x 64 unless
    // told), box a multiple of 4; made again at another size, every slot is
    // empty. The marks are drawn for a screen of dpi dots per inch.
    bool Create(int slots, int box = kThumbSize, UINT dpi = 96);
    void Destroy();
    int Box() const { return m_box; }
    HIMAGELIST Handle() const { return m_images; }
    // Marks drawn over a thumbnail, any together.
    enum Mark : unsigned {
        kRecovered = 1,  // a green tick in the lower right corner
        kDamaged = 2,    // an orange warning triangle in the lower left corner
    };
    // The slot showing the item; thumbnail (side x side, 24 bits a pixel,
    // rows from the top) fills it when the item has none, with its marks,
    // centred on white when smaller than the box; a slot filled with other
    // marks or from another side is filled again. -1 when there is no image
    // list.
    int SlotFor(int item, const uint8_t* thumbnail, unsigned marks = 0, int side = kThumbSize);
    // The slot showing the item with these marks from a thumbnail of this
    // side, or -1 when SlotFor would have to fill one.
    int Showing(int item, unsigned marks, int side) const;
    // No item has a slot any more (the list was emptied).
    void Forget();

private:
    void Fill(int slot, const uint8_t* thumbnail, unsigned marks, int side);
    // Draw the recovered and the damaged mark on the canvas.
    void DrawTick(HDC dc);
    void DrawWarning(HDC dc);

    HIMAGELIST m_images = nullptr;
    HBITMAP m_canvas = nullptr;  // the DIB each slot is filled through
    void* m_canvasBits = nullptr;
    std::vector<int> m_slotOfItem;  // -1: none
    std::vector<int> m_itemInSlot;  // -1: free
    std::vector<unsigned> m_slotMarks;  // the marks the slot's image has
    std::vector<int> m_slotSides;       // the side of the thumbnail it was filled from
    int m_box = kThumbSize;
    UINT m_dpi = 96;
    int m_nextSlot = 0;
};
