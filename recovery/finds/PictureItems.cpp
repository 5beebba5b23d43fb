#include "PictureItems.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// "2019:07:14 16:05:09" as a FILETIME value of that wall-clock time; 0 for
// a date that is not one (cameras write "0000:00:00 00:00:00" when unset).
uint64_t ExifTime(const std::string& text)
{
    SYSTEMTIME st = {};
    unsigned year, month, day, hour, minute, second;
    if (std::sscanf(text.c_str(), "%4u:%2u:%2u %2u:%2u:%2u", &year, &month, &day, &hour, &minute, &second) != 6)
        return 0;
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    FILETIME ft;
    if (year < 1900 || !SystemTimeToFileTime(&st, &ft))
        return 0;
    return static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
}

}  // namespace

void CPictureItems::Add(const CString& path, const ThumbnailPixels& pixels)
{
    Add(path, pixels, PictureDetails(), true);
}

void CPictureItems::Add(const CString& path, const ThumbnailPixels& pixels, const PictureDetails& details,
                        bool decodes)
{
    const int item = Count();
    if (item % kBlockItems == 0) {
        m_blocks.push_back(NewBlock());
        m_heldInBlock.push_back(0);
    }
    Item entry = {};
    entry.path = path.str();
    entry.bytes = details.bytes;
    entry.written = details.written;
    entry.taken = ExifTime(details.taken);
    entry.width = details.width;
    entry.height = details.height;
    entry.camera = NameIndex(m_cameras, details.camera);
    entry.lens = NameIndex(m_lenses, details.lens);
    entry.type = PictureTypeOf(entry.path);
    entry.state = FindState::Found;
    entry.ticked = true;
    entry.decodes = decodes;
    entry.damaged = false;
    entry.share = -1;
    SetDate(entry);
    m_items.push_back(std::move(entry));
    ++m_typeCounts[m_items.back().type];

    // A block let go while it was being filled is had again.
    const auto block = static_cast<size_t>(item / kBlockItems);
    if (!m_blocks[block])
        m_blocks[block] = NewBlock();
    m_heldInBlock[block] |= uint64_t(1) << (item % kBlockItems);
    ++m_heldThumbnails;
    // 0x00RRGGBB in memory is blue, green, red, 0: the first three bytes.
    uint8_t* out = Slot(item);
    const size_t count = static_cast<size_t>(kThumbSize) * kThumbSize;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = i < pixels.size() ? pixels[i] : 0xFFFFFF;
        *out++ = static_cast<uint8_t>(p);
        *out++ = static_cast<uint8_t>(p >> 8);
        *out++ = static_cast<uint8_t>(p >> 16);
    }
}

void CPictureItems::Clear()
{
    m_items.clear();
    m_items.shrink_to_fit();
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_heldInBlock.clear();
    m_heldInBlock.shrink_to_fit();
    m_heldThumbnails = 0;
    m_cameras.assign(1, std::string());
    m_lenses.assign(1, std::string());
    std::fill(std::begin(m_typeCounts), std::end(m_typeCounts), 0);
    m_damagedCount = 0;
}

CString CPictureItems::Path(int item) const
{
    if (item < 0 || item >= Count())
        return CString();
    return CString(m_items[static_cast<size_t>(item)].path.c_str());
}

bool CPictureItems::Ticked(int item) const
{
    return item >= 0 && item < Count() && m_items[static_cast<size_t>(item)].ticked;
}

void CPictureItems::SetTicked(int item, bool ticked)
{
    if (item >= 0 && item < Count())
        m_items[static_cast<size_t>(item)].ticked = ticked;
}

const uint8_t* CPictureItems::Thumbnail(int item) const
{
    if (item < 0 || item >= Count() ||
        !(m_heldInBlock[static_cast<size_t>(item / kBlockItems)] >> (item % kBlockItems) & 1))
        return nullptr;
    return Slot(item);
}

void CPictureItems::PutThumbnail(int item, const uint8_t* pixels)
{
    if (item < 0 || item >= Count() || !pixels)
        return;
    const auto block = static_cast<size_t>(item / kBlockItems);
    if (!m_blocks[block])
        m_blocks[block] = NewBlock();
    std::memcpy(Slot(item), pixels, kThumbBytes);
    const uint64_t bit = uint64_t(1) << (item % kBlockItems);
    if (!(m_heldInBlock[block] & bit))
        ++m_heldThumbnails;
    m_heldInBlock[block] |= bit;
}

int CPictureItems::DropThumbnails(const std::vector<bool>& kept)
{
    int dropped = 0;
    for (size_t block = 0; block < m_blocks.size(); ++block) {
        const uint64_t held = m_heldInBlock[block];
        if (!m_blocks[block] || !held)
            continue;
        bool allKept = true;
        for (int at = 0; at < kBlockItems && allKept; ++at) {
            const size_t item = block * kBlockItems + static_cast<size_t>(at);
            if (held >> at & 1)
                allKept = item < kept.size() && kept[item];
        }
        if (!allKept)
            continue;
        for (uint64_t bits = held; bits; bits &= bits - 1)
            ++dropped;
        m_blocks[block].reset();
        m_heldInBlock[block] = 0;
    }
    m_heldThumbnails -= dropped;
    return dropped;
}

CPictureItems::Block CPictureItems::NewBlock()
{
    void* pages = VirtualAlloc(nullptr, kThumbBytes * kBlockItems, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!pages)
        throw std::bad_alloc();
    return Block(static_cast<uint8_t*>(pages));
}

void CPictureItems::GiveBack::operator()(uint8_t* block) const
{
    VirtualFree(block, 0, MEM_RELEASE);
}

uint8_t* CPictureItems::Slot(int item) const
{
    return m_blocks[static_cast<size_t>(item / kBlockItems)].get() +
           static_cast<size_t>(item % kBlockItems) * kThumbBytes;
}

std::string CPictureItems::Name(int item) const
{
    const std::string& path = At(item).path;
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void CPictureItems::SetRecord(int item, const std::string& folder, bool deleted, bool damaged, int decodes)
{
    if (item < 0 || item >= Count())
        return;
    Item& entry = m_items[static_cast<size_t>(item)];
    entry.folder = folder;
    entry.state = deleted ? FindState::Deleted : FindState::Present;
    MarkDamaged(entry, damaged, decodes);
    SetDate(entry);
}

void CPictureItems::SetDamaged(int item, int decodes)
{
    if (item < 0 || item >= Count())
        return;
    MarkDamaged(m_items[static_cast<size_t>(item)], true, decodes);
}

void CPictureItems::MarkDamaged(Item& entry, bool damaged, int decodes)
{
    if (damaged && !entry.damaged)
        entry.ticked = false;
    m_damagedCount += (damaged ? 1 : 0) - (entry.damaged ? 1 : 0);
    entry.damaged = damaged;
    entry.share = static_cast<int8_t>(damaged && decodes >= 0 && decodes <= 100 ? decodes : -1);
}

void CPictureItems::SetDate(Item& item)
{
    item.date = item.taken;
    if (item.state == FindState::Found || item.written == 0)
        return;
    FILETIME utc = {static_cast<DWORD>(item.written), static_cast<DWORD>(item.written >> 32)};
    FILETIME local;
    if (FileTimeToLocalFileTime(&utc, &local))
        item.date = static_cast<uint64_t>(local.dwHighDateTime) << 32 | local.dwLowDateTime;
}

uint64_t CPictureItems::RecordDate(int item) const
{
    const Item& entry = At(item);
    if (entry.state == FindState::Found || entry.written == 0)
        return 0;
    FILETIME utc = {static_cast<DWORD>(entry.written), static_cast<DWORD>(entry.written >> 32)};
    FILETIME local;
    if (!FileTimeToLocalFileTime(&utc, &local))
        return 0;
    return static_cast<uint64_t>(local.dwHighDateTime) << 32 | local.dwLowDateTime;
}

uint16_t CPictureItems::NameIndex(std::vector<std::string>& names, const std::string& name)
{
    if (name.empty())
        return 0;
    for (size_t i = 1; i < names.size(); ++i) {
        if (names[i] == name)
            return static_cast<uint16_t>(i);
    }
    // More cameras or lenses than anyone owns: the rest go unnamed.
    if (names.size() >= 1024)
        return 0;
    names.push_back(name);
    return static_cast<uint16_t>(names.size() - 1);
}
