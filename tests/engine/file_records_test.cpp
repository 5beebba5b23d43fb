// The file-system readers' building blocks: NTFS run lists and update
// sequences, FAT and exFAT times, and the names recovered files get.
#include <gtest/gtest.h>

#include <cstring>

#include "fs/disk_reader.h"
#include "fs/fat.h"
#include "fs/file_name.h"
#include "fs/file_record.h"
#include "fs/ntfs.h"

using namespace qv;

TEST(NtfsRuns, RelativeNegativeAndSparseRunsBecomeDiskExtents) {
  // 4 clusters at 0x20; 2 at 0x20 - 0x10; 3 sparse; 1 at 0x10 + 0x100.
  const uint8_t list[] = {0x11, 0x04, 0x20, 0x11, 0x02, 0xF0, 0x01, 0x03, 0x21, 0x01, 0x00, 0x01, 0x00};
  std::vector<Extent> runs;
  ASSERT_TRUE(decodeRuns(list, sizeof list, 4096, 1000, 1 << 20, runs));
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[0].offset, (1u << 20) + 0x20 * 4096u);
  EXPECT_EQ(runs[0].length, 4 * 4096u);
  EXPECT_EQ(runs[1].offset, (1u << 20) + 0x10 * 4096u);
  EXPECT_TRUE(runs[2].sparse);
  EXPECT_EQ(runs[2].length, 3 * 4096u);
  EXPECT_EQ(runs[3].offset, (1u << 20) + 0x110 * 4096u);
}

TEST(NtfsRuns, ListsThatLeaveTheVolumeOrDoNotEndAreRefused) {
  std::vector<Extent> runs;
  const uint8_t beyond[] = {0x11, 0x10, 0x7F, 0x00};  // clusters 127..142 of 100
  EXPECT_FALSE(decodeRuns(beyond, sizeof beyond, 4096, 100, 0, runs));
  const uint8_t before[] = {0x11, 0x01, 0x05, 0x11, 0x01, 0xF0, 0x00};  // 5 - 16 < 0
  EXPECT_FALSE(decodeRuns(before, sizeof before, 4096, 100, 0, runs));
  const uint8_t unterminated[] = {0x11, 0x01, 0x05};
  EXPECT_FALSE(decodeRuns(unterminated, sizeof unterminated, 4096, 100, 0, runs));
  const uint8_t cut[] = {0x48, 0x01, 0x00};  // fields longer than the list
  EXPECT_FALSE(decodeRuns(cut, sizeof cut, 4096, 100, 0, runs));
}

TEST(NtfsFixups, SectorEndsGetTheirBytesBackAndATornRecordIsRefused) {
  std::vector<uint8_t> rec(1024, 0xAB);
  std::memcpy(rec.data(), "FILE", 4);
  rec[4] = 48, rec[5] = 0, rec[6] = 3, rec[7] = 0;  // sequence array at 48, 3 words
  rec[48] = 0x07, rec[49] = 0x00;                  // sequence number
  rec[50] = 0x11, rec[51] = 0x22, rec[52] = 0x33, rec[53] = 0x44;
  rec[510] = rec[1022] = 0x07;
  rec[511] = rec[1023] = 0x00;
  std::vector<uint8_t> torn = rec;
  ASSERT_TRUE(applyFixups(rec.data(), rec.size()));
  EXPECT_EQ(rec[510], 0x11);
  EXPECT_EQ(rec[511], 0x22);
  EXPECT_EQ(rec[1022], 0x33);
  EXPECT_EQ(rec[1023], 0x44);
  torn[1022] = 0x08;  // the second sector was written by another update
  EXPECT_FALSE(applyFixups(torn.data(), torn.size()));
}

TEST(FatNames, LongNameChecksumMatchesMicrosoftsFormula) {
  // Worked by hand from the checksum formula Microsoft publishes for FAT.
  const uint8_t name[12] = "README  TXT";
  uint8_t sum = 0;
  for (int i = 0; i < 11; ++i) sum = uint8_t(((sum & 1) << 7) + (sum >> 1) + name[i]);
  EXPECT_EQ(shortNameChecksum(name), sum);
  const uint8_t other[12] = "README  TXU";
  EXPECT_NE(shortNameChecksum(name), shortNameChecksum(other));
}

TEST(FileTimes, WallClockTimesCountFrom1601) {
  // 2019-06-15 14:30:22 is 1560609022 s after 1970; 1970 is 11644473600 s after 1601.
  EXPECT_EQ(wallClockTime(2019, 6, 15, 14, 30, 22, 0).ticks, (1560609022LL + 11644473600LL) * 10000000);
  EXPECT_EQ(wallClockTime(2020, 2, 29, 0, 0, 0, 50).ticks, (1582934400LL + 11644473600LL) * 10000000 + 5000000);
  EXPECT_EQ(wallClockTime(1601, 1, 1, 0, 0, 0, 0).ticks, 0);
  EXPECT_EQ(wallClockTime(2019, 13, 1, 0, 0, 0, 0).ticks, 0);  // month 13: not known
  EXPECT_EQ(wallClockTime(2019, 1, 1, 24, 0, 0, 0).ticks, 0);
}

TEST(RecoveredNames, TypeExtensionAndCharactersWindowsAccepts) {
  EXPECT_EQ(pictureFileName("DSC 0001.JPEG", PicType::Jpg), "DSC 0001.jpg");
  EXPECT_EQ(pictureFileName("scan.TIFF", PicType::Tif), "scan.tif");
  EXPECT_EQ(pictureFileName("really a png.jpg", PicType::Png), "really a png.png");
  EXPECT_EQ(pictureFileName("archive.tar.jpe", PicType::Jpg), "archive.tar.jpg");
  EXPECT_EQ(pictureFileName("M\xC3\xBCller \xE2\x82\xAC.jpg", PicType::Jpg), "M_ller _.jpg");
  EXPECT_EQ(pictureFileName("..\\..\\evil:x?.jpg", PicType::Jpg), ".._.._evil_x_.jpg");
  EXPECT_EQ(pictureFileName("a/b.gif", PicType::Gif), "a_b.gif");
  EXPECT_EQ(pictureFileName("con.jpg", PicType::Jpg), "_con.jpg");
  EXPECT_EQ(pictureFileName("LPT1.x.png", PicType::Png), "_LPT1.x.png");
  EXPECT_EQ(pictureFileName("COM10.png", PicType::Png), "COM10.png");
  EXPECT_EQ(pictureFileName(".jpg", PicType::Jpg), "_.jpg");
  EXPECT_EQ(pictureFileName("dots... .bmp", PicType::Bmp), "dots.bmp");
  EXPECT_EQ(pictureFileName(std::string(300, 'x') + ".gif", PicType::Gif), std::string(100, 'x') + ".gif");
}

TEST(RecoveredNames, ATakenNameInTheFolderGetsANumberWhateverItsCase) {
  FolderNames names;
  EXPECT_EQ(names.claim("IMG_1.jpg"), "IMG_1.jpg");
  EXPECT_EQ(names.claim("img_1.JPG"), "img_1 (2).JPG");
  EXPECT_EQ(names.claim("IMG_1 (3).jpg"), "IMG_1 (3).jpg");
  EXPECT_EQ(names.claim("IMG_1.jpg"), "IMG_1 (4).jpg");
  names.clear();
  EXPECT_EQ(names.claim("IMG_1.jpg"), "IMG_1.jpg");
}

TEST(RecoveredNames, PictureFilesAreKnownByExtension) {
  for (const char* n : {"a.jpg", "b.JPEG", "c.Jpe", "d.jfif", "e.gif", "f.png", "g.bmp", "h.dib", "i.tif", "j.TIFF"})
    EXPECT_TRUE(hasPictureExtension(n)) << n;
  for (const char* n : {"jpg", "a.jpg.txt", "b.mp4", "c.", "tif"}) EXPECT_FALSE(hasPictureExtension(n)) << n;
}

TEST(RecoveredNames, Utf16BecomesUtf8AndBrokenPairsAReplaced) {
  const uint16_t text[] = {'A', 0x00FC, 0x20AC, 0xD83D, 0xDCF7, 0xD800, 'z'};
  EXPECT_EQ(utf16ToUtf8(text, 7), "A\xC3\xBC\xE2\x82\xAC\xF0\x9F\x93\xB7\xEF\xBF\xBDz");
}

namespace {
// A FAT12 volume that claims more sectors than the disk has (a cut image):
// 512-byte sectors and clusters, one FAT of 12 sectors, 16 root entries.
std::vector<uint8_t> cutFat12Disk() {
  std::vector<uint8_t> d(64 << 10);
  const uint8_t boot[] = {0xEB, 0x3C, 0x90, 'm', 'k', 'f', 's', '.', 'f', 'a', 't', 0x00, 0x02, 1, 1, 0, 1, 16, 0,
                          0xA0, 0x0F, 0xF8, 12, 0};
  std::memcpy(d.data(), boot, sizeof boot);
  d[510] = 0x55, d[511] = 0xAA;
  uint8_t* root = d.data() + 13 * 512;
  auto entry = [](uint8_t* e, const char* name11, uint16_t cluster, uint32_t size) {
    std::memcpy(e, name11, 11);
    e[11] = 0x20;
    e[24] = 0x21, e[25] = 0x4E;  // 2019-01-01
    e[26] = uint8_t(cluster), e[27] = uint8_t(cluster >> 8);
    for (int i = 0; i < 4; ++i) e[28 + i] = uint8_t(size >> (8 * i));
  };
  entry(root, "\xE5""FAR    JPG", 300, 1000);  // data would start at 156 KiB
  entry(root + 32, "\xE5""EDGE   JPG", 100, 20000);  // starts inside, ends past the end
  entry(root + 64, "NEAR    JPG", 2, 100);
  d[512 + 3] = 0xFF, d[512 + 4] = 0x0F;  // cluster 2: end of chain (FAT12, even entry)
  return d;
}
}  // namespace

TEST(FatVolumes, RecordsOfACutVolumeNeverPointPastTheDisk) {
  std::vector<uint8_t> disk = cutFat12Disk();
  MemorySource src(disk);
  DiskReader reader(src);
  std::vector<FileRecord> records;
  ASSERT_TRUE(readFatVolume(reader, Volume{0, disk.size()}, [&](FileRecord&& r) { records.push_back(std::move(r)); }));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].name, "NEAR.JPG");
  ASSERT_EQ(records[0].extents.size(), 1u);
  EXPECT_EQ(records[0].extents[0].offset, 14 * 512u);
  EXPECT_EQ(records[0].extents[0].length, 100u);
  EXPECT_EQ(records[0].mtime.ticks, wallClockTime(2019, 1, 1, 0, 0, 0, 0).ticks);
}

TEST(Folders, NamesAreJoinedFromTheRootWithBackslashes) {
  EXPECT_EQ(subFolder("\\", "DCIM"), "\\DCIM");
  EXPECT_EQ(subFolder(subFolder("\\", "DCIM"), "100CANON"), "\\DCIM\\100CANON");
  EXPECT_EQ(subFolder("\\?", "Sommer"), "\\?\\Sommer");
  // What would break a path or a line of the finds file becomes "_".
  EXPECT_EQ(subFolder("\\", "a\\b\tc\nd"), "\\a_b_c_d");
  EXPECT_EQ(subFolder("\\", ""), "\\_");
  EXPECT_EQ(subFolder("\\", "M\xC3\xBCller \xF0\x9F\x93\xB7"), "\\M\xC3\xBCller \xF0\x9F\x93\xB7");
  // Bytes that are no UTF-8: an OEM short name, a cut sequence, an overlong
  // form, a surrogate, past U+10FFFF.
  EXPECT_EQ(cleanUtf8("\x8E" "BER"), "_BER");
  EXPECT_EQ(cleanUtf8("ab\xE2\x82"), "ab__");
  EXPECT_EQ(cleanUtf8("\xC0\xAF"), "__");
  EXPECT_EQ(cleanUtf8("\xED\xA0\x80"), "___");
  EXPECT_EQ(cleanUtf8("\xF4\x90\x80\x80"), "____");
}

TEST(Folders, ADeepFolderKeepsTheNamesNearestTheFile) {
  std::string folder = "\\";
  for (int depth = 0; depth < 64; ++depth) folder = subFolder(folder, std::string(40, char('a' + depth % 26)) + std::to_string(depth));
  EXPECT_LE(folder.size(), kMaxFolder);
  EXPECT_EQ(folder.compare(0, 3, "\\?\\"), 0) << folder;
  const std::string last = "\\" + std::string(40, char('a' + 63 % 26)) + "63";
  EXPECT_EQ(folder.compare(folder.size() - last.size(), last.size(), last), 0) << folder;
  // Whole names only.
  EXPECT_EQ(folder.find("\\", 3) - 3, 42u) << folder;
}
