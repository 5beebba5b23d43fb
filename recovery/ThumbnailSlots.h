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
    // The slot showing the item; thumbnail (24 bits a pixel, rows from the
    // top) fills it when the item has none, with a green tick in its lower
    // right corner when marked (a recovered picture); a slot filled without
    // the mark is filled again with it. -1 when there is no image list.
    int SlotFor(int item, const uint8_t* thumbnail, bool marked = false);
    // No item has a slot any more (the list was emptied).
    void Forget();

private:
    void Fill(int slot, const uint8_t* thumbnail, bool marked);
    // Draws the recovered mark on the canvas.
    void DrawTick();

    HIMAGELIST m_images = nullptr;
    HBITMAP m_canvas = nullptr;  // the DIB each slot is filled through
    void* m_canvasBits = nullptr;
    std::vector<int> m_slotOfItem;  // -1: none
    std::vector<int> m_itemInSlot;  // -1: free
    std::vector<bool> m_markedSlot;  // the slot's image has the tick
    int m_nextSlot = 0;
};
