// The picture list's items, kept by the program: the list control only
// knows how many there are and asks for what it draws. Each item has its
// file's path, its tick and its 64 x 64 thumbnail, held compactly (24 bits
// a pixel, in blocks, so that growing never copies the thumbnails).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Framework.h"
#include "Thumbnail.h"

class CPictureItems {
public:
    // Bytes of one thumbnail: 64 rows from the top of 64 pixels, each
    // blue, green, red.
    static const size_t kThumbBytes = static_cast<size_t>(kThumbSize) * kThumbSize * 3;

    // A new item at the end, ticked.
    void Add(const CString& path, const ThumbnailPixels& pixels);
    int Count() const { return static_cast<int>(m_items.size()); }
    void Clear();

    CString Path(int item) const;
    bool Ticked(int item) const;
    void SetTicked(int item, bool ticked);
    void TickAll(bool ticked);
    // The paths of the ticked items, in list order.
    std::vector<CString> TickedPaths() const;
    // The item's thumbnail (kThumbBytes).
    const uint8_t* Thumbnail(int item) const;

private:
    struct Item {
        std::string path;
        bool ticked;
    };
    // Thumbnails per block: growing adds a block and copies none.
    static const int kBlockItems = 64;

    uint8_t* Slot(int item) const;

    std::vector<Item> m_items;
    std::vector<std::unique_ptr<uint8_t[]>> m_blocks;
};
