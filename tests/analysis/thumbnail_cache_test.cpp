// The thumbnail cache file: what it wrote reads back whole; a record that
// does not check out, a file cut short, or a folder it cannot write in
// means no thumbnail from it (made again by the caller), never a wrong one.
#include "AnalysisHarness.h"

#include <psapi.h>

#include <cstring>

#include "PictureItems.h"
#include "ThumbnailCache.h"

using namespace analysis;

namespace {

std::vector<uint8_t> Pattern(int side, int seed)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(side) * static_cast<size_t>(side) * 3);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(i * 7 + static_cast<size_t>(seed) * 31);
    return pixels;
}

// Overwrites bytes of the file at offset, or cuts it there (bytes empty).
void ChangeFile(const std::string& path, long offset, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFilePointer(file, offset, nullptr, FILE_BEGIN);
    DWORD written = 0;
    if (bytes.empty())
        SetEndOfFile(file);
    else
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

TEST(ThumbnailCache, ReadsBackWhatItWroteAndNothingThatDoesNotCheckOut)
{
    TempFolder work("cache");
    const std::string path = work.Join(CThumbnailCache::kFileName);
    CThumbnailCache cache;
    // A folder that is not there (a disk gone or read-only): no cache.
    EXPECT_FALSE(cache.Open(work.Join("missing").c_str()));
    EXPECT_FALSE(cache.IsOpen());
    std::vector<uint8_t> read(64 * 64 * 3);
    const std::vector<uint8_t> small = Pattern(64, 1), other = Pattern(64, 2), large = Pattern(256, 3);
    cache.WriteLater(0, small.data(), 64);
    EXPECT_EQ(cache.Waiting(), 0u);
    EXPECT_FALSE(cache.Read(0, 64, read.data()));

    ASSERT_TRUE(cache.Open(work.Path().c_str()));
    const unsigned generation = cache.Generation();
    EXPECT_TRUE(cache.Write(0, small.data(), 64, generation));
    cache.WriteLater(1, other.data(), 64);
    cache.WriteLater(2, large.data(), 256);
    cache.WaitUntilWaiting(0);
    // For another file's items: refused.
    EXPECT_FALSE(cache.Write(3, small.data(), 64, generation + 1));
    EXPECT_TRUE(cache.Has(1, 64));
    EXPECT_FALSE(cache.Has(1, 256));
    EXPECT_FALSE(cache.Has(3, 64));
    EXPECT_TRUE(cache.Read(0, 64, read.data()));
    EXPECT_EQ(read, small);
    EXPECT_TRUE(cache.Read(1, 64, read.data()));
    EXPECT_EQ(read, other);
    std::vector<uint8_t> readLarge(256 * 256 * 3);
    EXPECT_TRUE(cache.Read(2, 256, readLarge.data()));
    EXPECT_EQ(readLarge, large);
    EXPECT_EQ(cache.ReadBack(), 3u);
    EXPECT_EQ(cache.Kept(64), (std::vector<bool>{true, true}));

    // A pixel changed on the disk: the record is not read, and forgotten.
    const long record = 16 + 64 * 64 * 3;
    ChangeFile(path, 16 + 100, std::string(1, static_cast<char>(small[100] ^ 0x40)));
    EXPECT_FALSE(cache.Read(0, 64, read.data()));
    EXPECT_FALSE(cache.Has(0, 64));
    EXPECT_TRUE(cache.Read(1, 64, read.data()));
    // Written again, it reads back.
    EXPECT_TRUE(cache.Write(0, small.data(), 64, generation));
    EXPECT_TRUE(cache.Read(0, 64, read.data()));
    EXPECT_EQ(read, small);
    // The file cut short inside the large record.
    ChangeFile(path, 2 * record + 1000, "");
    EXPECT_FALSE(cache.Read(2, 256, readLarge.data()));
    EXPECT_TRUE(cache.Read(1, 64, read.data()));

    // Closed, the file goes, and nothing is read.
    cache.Close();
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(cache.Read(1, 64, read.data()));
}

// Small thumbnails let go (kept in the cache file) are memory the program
// gives back, not memory it keeps for later: what makes the large view's
// bound hold after the user started at the small one.
TEST(ThumbnailCache, ThumbnailsLetGoAreGivenBackToTheSystem)
{
    const auto committedMB = [] {
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
        return static_cast<double>(counters.PagefileUsage) / (1024.0 * 1024.0);
    };
    const int count = 64 * 80;  // 60 MB of thumbnails
    ThumbnailPixels grey(static_cast<size_t>(kThumbSize) * kThumbSize, 0x808080);
    CPictureItems items;
    for (int item = 0; item < count; ++item)
        items.Add(("p" + std::to_string(item) + ".jpg").c_str(), grey);
    const double held = committedMB();
    // Every block but the one holding the first item is kept elsewhere.
    std::vector<bool> kept(static_cast<size_t>(count), true);
    kept[0] = false;
    EXPECT_EQ(items.DropThumbnails(kept), count - 64);
    EXPECT_EQ(items.HeldThumbnails(), 64);
    EXPECT_LT(committedMB(), held - 50.0);
    EXPECT_EQ(items.Thumbnail(64), nullptr);
    ASSERT_NE(items.Thumbnail(63), nullptr);
    // One put back is held again, its block had anew.
    std::vector<uint8_t> pixels(CPictureItems::kThumbBytes, 0x33);
    items.PutThumbnail(200, pixels.data());
    ASSERT_NE(items.Thumbnail(200), nullptr);
    EXPECT_EQ(std::memcmp(items.Thumbnail(200), pixels.data(), pixels.size()), 0);
    EXPECT_EQ(items.Thumbnail(201), nullptr);
    EXPECT_EQ(items.Thumbnail(63)[0], 0x80);
}

}  // namespace
