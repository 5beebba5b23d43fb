// The picture list's items, kept by the program: the list control only
// knows how many there are and asks for what it draws. Each item has its
// file's path, its tick, its 64 x 64 thumbnail, held compactly (24 bits a
// pixel, in blocks, so that growing never copies the thumbnails), and what
// is known of the picture, in a few dozen bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Framework.h"
#include "PictureType.h"
#include "Thumbnail.h"

// What the file system still said of a find: found by its contents alone
// (no record), or a record of a file still on the disk, or of a deleted one.
enum class FindState : uint8_t { Found, Present, Deleted };

class CPictureItems {
public:
    // Bytes of one thumbnail: 64 rows from the top of 64 pixels, each
    // blue, green, red.
    static const size_t kThumbBytes = static_cast<size_t>(kThumbSize) * kThumbSize * 3;

    // A new item at the end, ticked. decodes: false for a file shown with
    // the placeholder.
    void Add(const CString& path, const ThumbnailPixels& pixels);
    void Add(const CString& path, const ThumbnailPixels& pixels, const PictureDetails& details, bool decodes);
    int Count() const { return static_cast<int>(m_items.size()); }
    void Clear();

    CString Path(int item) const;
    bool Ticked(int item) const;
    void SetTicked(int item, bool ticked);
    // The item's thumbnail (kThumbBytes), or null when it was let go.
    const uint8_t* Thumbnail(int item) const;
    // Holds the item's thumbnail (kThumbBytes) again.
    void PutThumbnail(int item, const uint8_t* pixels);
    // Lets go of the thumbnails of every block of items whose held ones are
    // all kept elsewhere (kept, by item); answers how many went.
    int DropThumbnails(const std::vector<bool>& kept);
    // Thumbnails held now.
    int HeldThumbnails() const { return m_heldThumbnails; }

    // What is known of an item (item must be in range).
    std::string Name(int item) const;
    const std::string& Folder(int item) const { return At(item).folder; }
    FindState State(int item) const { return At(item).state; }
    PictureType Type(int item) const { return At(item).type; }
    uint64_t Bytes(int item) const { return At(item).bytes; }
    unsigned Width(int item) const { return At(item).width; }
    unsigned Height(int item) const { return At(item).height; }
    bool Decodes(int item) const { return At(item).decodes; }
    // Local time in FILETIME units: the record's date where the file system
    // had one, else the Exif date taken; 0 when neither is known.
    uint64_t Date(int item) const { return At(item).date; }
    // The Exif date taken alone, local; 0 when not known.
    uint64_t Taken(int item) const { return At(item).taken; }
    // The record's own date alone (the file's modification time the disk
    // still held), local; 0 for a find by its contents or when not known.
    uint64_t RecordDate(int item) const;
    const std::string& Camera(int item) const { return m_cameras[At(item).camera]; }
    const std::string& Lens(int item) const { return m_lenses[At(item).lens]; }
    // Finds of each type taken in so far.
    int TypeCount(PictureType type) const { return m_typeCounts[type]; }

    // What the engine said of the file: its folder on the disk, whether it
    // was deleted, and whether its data did not check out whole (with the
    // share of it that decodes in percent, -1 when not known). The date
    // becomes the record's (the engine gave the file the record's time). A
    // damaged picture is unticked: the user judges whether it is wanted.
    void SetRecord(int item, const std::string& folder, bool deleted, bool damaged = false, int decodes = -1);
    // What the engine said of a picture it found by its contents: that its
    // data did not check out whole (as SetRecord's damaged). It stays Found,
    // without a folder, with its own date.
    void SetDamaged(int item, int decodes);
    bool Damaged(int item) const { return At(item).damaged; }
    int DamagedCount() const { return m_damagedCount; }
    // Percent of a damaged picture that decodes; -1 when not known.
    int DamagedShare(int item) const { return At(item).share; }

private:
    struct Item {
        std::string path;
        std::string folder;
        uint64_t bytes;
        uint64_t written;  // the found file's last write, UTC
        uint64_t taken;    // Exif, local
        uint64_t date;
        uint32_t width;
        uint32_t height;
        uint16_t camera;  // in m_cameras
        uint16_t lens;    // in m_lenses
        PictureType type;
        FindState state;
        bool ticked;
        bool decodes;
        bool damaged;
        int8_t share;
    };
    // Thumbnails per block: growing adds a block and copies none. A block
    // (768 KB, twelve 64 KB allocation units) is had from the system and
    // given back to it whole when let go: freed to the C library's heap it
    // would stay with the program, and the memory the cache file saves
    // would not be saved.
    static const int kBlockItems = 64;
    struct GiveBack {
        void operator()(uint8_t* block) const;
    };
    using Block = std::unique_ptr<uint8_t[], GiveBack>;
    static Block NewBlock();

    const Item& At(int item) const { return m_items[static_cast<size_t>(item)]; }
    uint8_t* Slot(int item) const;
    static void SetDate(Item& item);
    void MarkDamaged(Item& item, bool damaged, int decodes);
    // Where name is in names (0 for none), added when it is new.
    static uint16_t NameIndex(std::vector<std::string>& names, const std::string& name);

    std::vector<Item> m_items;
    std::vector<Block> m_blocks;  // null: let go
    // By block, a bit for each of its items whose thumbnail is held.
    std::vector<uint64_t> m_heldInBlock;
    int m_heldThumbnails = 0;
    // Cameras and lenses are few: each name is kept once.
    std::vector<std::string> m_cameras{std::string()};
    std::vector<std::string> m_lenses{std::string()};
    int m_typeCounts[kPictureTypes] = {};
    int m_damagedCount = 0;
};
