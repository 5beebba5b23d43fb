#include "ThumbnailSlots.h"

#include <cstring>

#include "Dpi.h"
#include "PictureItems.h"
#include "Thumbnail.h"

CThumbnailSlots::~CThumbnailSlots()
{
    Destroy();
}

void CThumbnailSlots::Destroy()
{
    if (m_images)
        ImageList_Destroy(m_images);
    if (m_canvas)
        DeleteObject(m_canvas);
    m_images = nullptr;
    m_canvas = nullptr;
    m_canvasBits = nullptr;
    m_slotOfItem.clear();
    m_itemInSlot.clear();
    m_slotMarks.clear();
    m_slotSides.clear();
    m_nextSlot = 0;
}

bool CThumbnailSlots::Create(int slots, int box, UINT dpi)
{
    if (m_images || slots <= 0 || box < kThumbSize || box % 4 != 0)
        return false;
    m_box = box;
    m_dpi = dpi ? dpi : dpi::kDesigned;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = box;
    info.bmiHeader.biHeight = -box;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    m_canvas = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &m_canvasBits, nullptr, 0);
    if (!m_canvas)
        return false;
    // Every slot made at once: an image list that grows copies itself.
    m_images = ImageList_Create(box, box, ILC_COLOR24, slots, 0);
    if (!m_images || !ImageList_SetImageCount(m_images, static_cast<UINT>(slots)))
        return false;
    ImageList_SetBkColor(m_images, 0xFFFFFF);
    m_itemInSlot.assign(static_cast<size_t>(slots), -1);
    m_slotMarks.assign(static_cast<size_t>(slots), 0);
    m_slotSides.assign(static_cast<size_t>(slots), 0);
    return true;
}

int CThumbnailSlots::SlotFor(int item, const uint8_t* thumbnail, unsigned marks, int side)
{
    if (!m_images || item < 0 || !thumbnail || side <= 0 || side > m_box)
        return -1;
    if (static_cast<size_t>(item) >= m_slotOfItem.size())
        m_slotOfItem.resize(static_cast<size_t>(item) + 1, -1);
    int& slot = m_slotOfItem[static_cast<size_t>(item)];
    if (slot >= 0) {
        if (m_slotMarks[static_cast<size_t>(slot)] == marks && m_slotSides[static_cast<size_t>(slot)] == side)
            return slot;
        Fill(slot, thumbnail, marks, side);
        return slot;
    }

    slot = m_nextSlot;
    m_nextSlot = (m_nextSlot + 1) % static_cast<int>(m_itemInSlot.size());
    int& previous = m_itemInSlot[static_cast<size_t>(slot)];
    if (previous >= 0)
        m_slotOfItem[static_cast<size_t>(previous)] = -1;
    previous = item;
    Fill(slot, thumbnail, marks, side);
    return slot;
}

int CThumbnailSlots::Showing(int item, unsigned marks, int side) const
{
    if (!m_images || item < 0 || static_cast<size_t>(item) >= m_slotOfItem.size())
        return -1;
    const int slot = m_slotOfItem[static_cast<size_t>(item)];
    if (slot < 0 || m_slotMarks[static_cast<size_t>(slot)] != marks || m_slotSides[static_cast<size_t>(slot)] != side)
        return -1;
    return slot;
}

void CThumbnailSlots::Fill(int slot, const uint8_t* thumbnail, unsigned marks, int side)
{
    // A box of whole groups of four pixels of 3 bytes makes a row a multiple
    // of 4: the DIB's rows are the thumbnail's. A smaller thumbnail (the small one, while
    // the large is made) sits in the middle at its own size.
    const size_t row = static_cast<size_t>(m_box) * 3;
    auto* canvas = static_cast<uint8_t*>(m_canvasBits);
    if (side == m_box) {
        std::memcpy(canvas, thumbnail, row * static_cast<size_t>(m_box));
    } else {
        std::memset(canvas, 0xFF, row * static_cast<size_t>(m_box));
        const int offset = (m_box - side) / 2;
        const size_t sideRow = static_cast<size_t>(side) * 3;
        for (int y = 0; y < side; ++y)
            std::memcpy(canvas + static_cast<size_t>(y + offset) * row + static_cast<size_t>(offset) * 3,
                        thumbnail + static_cast<size_t>(y) * sideRow, sideRow);
    }
    if (marks) {
        HDC dc = CreateCompatibleDC(nullptr);
        if (dc) {
            HGDIOBJ oldBitmap = SelectObject(dc, m_canvas);
            if (marks & kRecovered)
                DrawTick(dc);
            if (marks & kDamaged)
                DrawWarning(dc);
            SelectObject(dc, oldBitmap);
            DeleteDC(dc);
        }
    }
    GdiFlush();
    ImageList_Replace(m_images, slot, m_canvas, nullptr);
    m_slotMarks[static_cast<size_t>(slot)] = marks;
    m_slotSides[static_cast<size_t>(slot)] = side;
}

void CThumbnailSlots::DrawWarning(HDC dc)
{
    // An orange triangle with a dark edge and a black "!", 22 pixels across
    // at 96 dots per inch: the sign people know for "look closer".
    const auto px = [this](int pixels) { return dpi::Scale(pixels, m_dpi); };
    const int size = px(22);
    const int left = px(1);
    const int bottom = m_box - px(2);
    HBRUSH orange = CreateSolidBrush(RGB(255, 176, 0));
    HPEN edge = CreatePen(PS_SOLID, 1, RGB(96, 64, 0));
    HGDIOBJ oldBrush = SelectObject(dc, orange);
    HGDIOBJ oldPen = SelectObject(dc, edge);
    const POINT triangle[] = {{left + size / 2, bottom - size + 2}, {left + size, bottom}, {left, bottom}};
    Polygon(dc, triangle, 3);
    HPEN mark = CreatePen(PS_SOLID, px(3), RGB(0, 0, 0));
    SelectObject(dc, mark);
    MoveToEx(dc, left + size / 2, bottom - px(14), nullptr);
    LineTo(dc, left + size / 2, bottom - px(7));
    MoveToEx(dc, left + size / 2, bottom - px(3), nullptr);
    LineTo(dc, left + size / 2, bottom - px(2));
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(mark);
    DeleteObject(edge);
    DeleteObject(orange);
}

void CThumbnailSlots::DrawTick(HDC dc)
{
    // A green disc with a white edge and a white tick, 22 pixels across at
    // 96 dots per inch.
    const auto px = [this](int pixels) { return dpi::Scale(pixels, m_dpi); };
    const int size = px(22);
    const int left = m_box - size - px(1);
    const int top = m_box - size - px(1);
    HBRUSH green = CreateSolidBrush(RGB(0, 160, 0));
    HPEN edge = CreatePen(PS_SOLID, px(2), RGB(255, 255, 255));
    HGDIOBJ oldBrush = SelectObject(dc, green);
    HGDIOBJ oldPen = SelectObject(dc, edge);
    Ellipse(dc, left, top, left + size, top + size);
    HPEN tickPen = CreatePen(PS_SOLID, px(3), RGB(255, 255, 255));
    SelectObject(dc, tickPen);
    const POINT tick[] = {{left + px(5), top + px(11)}, {left + px(9), top + px(15)}, {left + px(16), top + px(6)}};
    Polyline(dc, tick, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(tickPen);
    DeleteObject(edge);
    DeleteObject(green);
}

void CThumbnailSlots::Forget()
{
    m_slotOfItem.clear();
    m_slotOfItem.shrink_to_fit();
    for (int& item : m_itemInSlot)
        item = -1;
    m_slotMarks.assign(m_slotMarks.size(), 0);
    m_slotSides.assign(m_slotSides.size(), 0);
    m_nextSlot = 0;
}
