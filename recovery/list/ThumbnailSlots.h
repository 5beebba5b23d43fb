// The picture list's image list: a fixed number of slots, each holding the
// thumbnail of an item the list has drawn lately. An item asked for that
// has no slot takes the one filled longest ago, so only the thumbnails on
// screen (and a few hundred before them) are GDI images at any time.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <vector>

#include "Framework.h"

class CThumbnailSlots {
public:
    CThumbnailSlots() = default;
    ~CThumbnailSlots();
    CThumbnailSlots(const CThumbnailSlots&) = delete;
    CThumbnailSlots& operator=(const CThumbnailSlots&) = delete;

    // Makes the image list with this many 64 x 64 slots.
    bool Create(int slots);
    HIMAGELIST Handle() const { return m_images; }
    // Marks drawn over a thumbnail, any together.
    enum Mark : unsigned {
        kRecovered = 1,  // a green tick in the lower right corner
        kDamaged = 2,    // an orange warning triangle in the lower left corner
    };
    // The slot showing the item; thumbnail (24 bits a pixel, rows from the
    // top) fills it when the item has none, with its marks; a slot filled
    // with other marks is filled again. -1 when there is no image list.
    int SlotFor(int item, const uint8_t* thumbnail, unsigned marks = 0);
    // No item has a slot any more (the list was emptied).
    void Forget();

private:
    void Fill(int slot, const uint8_t* thumbnail, unsigned marks);
    // Draw the recovered and the damaged mark on the canvas.
    void DrawTick(HDC dc);
    void DrawWarning(HDC dc);

    HIMAGELIST m_images = nullptr;
    HBITMAP m_canvas = nullptr;  // the DIB each slot is filled through
    void* m_canvasBits = nullptr;
    std::vector<int> m_slotOfItem;  // -1: none
    std::vector<int> m_itemInSlot;  // -1: free
    std::vector<unsigned> m_slotMarks;  // the marks the slot's image has
    int m_nextSlot = 0;
};
