// The finds file's text as the window reads it while the engine appends to
// it: whole, checked lines only, a torn last line left for later, damage
// passed over.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>

#include "crc32.h"
#include "finds_file.h"

using qv::FindsEntry;

namespace {

bool same(const FindsEntry& a, const FindsEntry& b) {
  return a.file == b.file && a.folder == b.folder && a.deleted == b.deleted && a.damaged == b.damaged &&
         a.decodes == b.decodes && a.found == b.found;
}

const std::vector<FindsEntry>& entries() {
  static const std::vector<FindsEntry> all = {
      {"d0001\\IMG_0001.jpg", "\\DCIM\\100CANON", true},
      {"d0001\\Scan.bmp", "\\", false},
      {"d0001\\Hochzeit M_ller.jpg", "\\Fotos\\M\xC3\xBCller \xF0\x9F\x93\xB7", true},
      {"d0002\\IMG_0001 (2).jpg", "", false},  // folder not known
      {"d0002\\x.png", "\\?\\Sommer 2019", true},
      {"d0002\\IMG_0002.jpg", "\\DCIM", true, true, 60},
      {"d0002\\IMG_0003.jpg", "\\DCIM", false, true, 0},
      {"d0002\\scan.tif", "\\", true, true, -1},  // how much decodes is not known
      // Damaged finds of the content search.
      {"d0003\\f0000081920.jpg", "", false, true, 35, true},
      {"d0003\\f0000090000_077.png", "", false, true, -1, true},
  };
  return all;
}

std::string wholeFile() {
  std::string text = qv::kFindsHeader;
  for (const FindsEntry& e : entries()) text += qv::formatFindsLine(e);
  return text;
}

// A line with a right CRC over whatever it holds.
std::string signedLine(const std::string& body) {
  char crc[16];
  std::snprintf(crc, sizeof crc, "\t%08lx\n",
                static_cast<unsigned long>(qv::crc32Update(0, reinterpret_cast<const uint8_t*>(body.data()), body.size())));
  return body + crc;
}

}  // namespace

TEST(FindsFile, LinesComeBackAsWrittenAndLookAsDocumented) {
  EXPECT_EQ(qv::formatFindsLine(entries()[0]), signedLine("d0001\\IMG_0001.jpg\t\\DCIM\\100CANON\tdeleted"));
  EXPECT_EQ(qv::formatFindsLine(entries()[5]), signedLine("d0002\\IMG_0002.jpg\t\\DCIM\tdeleted\tdamaged 60"));
  EXPECT_EQ(qv::formatFindsLine(entries()[7]), signedLine("d0002\\scan.tif\t\\\tdeleted\tdamaged"));
  EXPECT_EQ(qv::formatFindsLine(entries()[8]), signedLine("d0003\\f0000081920.jpg\t\tfound\tdamaged 35"));
  EXPECT_EQ(qv::formatFindsLine(entries()[9]), signedLine("d0003\\f0000090000_077.png\t\tfound\tdamaged"));
  std::vector<FindsEntry> out;
  const std::string text = wholeFile();
  EXPECT_EQ(qv::parseFindsText(text, 0, out), text.size());
  ASSERT_EQ(out.size(), entries().size());
  for (size_t i = 0; i < out.size(); ++i) EXPECT_TRUE(same(out[i], entries()[i])) << i;
  // What would break the line becomes "_".
  out.clear();
  const std::string odd = qv::kFindsHeader + qv::formatFindsLine({"d0001\\a\tb.jpg", "\\x\ty\nz\r\xFF", false});
  qv::parseFindsText(odd, 0, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].file, "d0001\\a_b.jpg");
  EXPECT_EQ(out[0].folder, "\\x_y_z__");
}

TEST(FindsFile, EveryCutGivesTheWholeLinesBeforeItAndTheRestLater) {
  const std::string text = wholeFile();
  const size_t header = std::string(qv::kFindsHeader).size();
  for (size_t n = 0; n <= text.size(); ++n) {
    const std::string seen = text.substr(0, n);
    std::vector<FindsEntry> out;
    const size_t next = qv::parseFindsText(seen, 0, out);
    // Up to the last '\n' once the header is whole; nothing before that.
    const size_t lastLine = seen.rfind('\n') == std::string::npos ? 0 : seen.rfind('\n') + 1;
    ASSERT_EQ(next, n < header ? 0 : lastLine) << n;
    size_t lines = 0;
    for (size_t i = header; i < next; ++i) lines += text[i] == '\n';
    ASSERT_EQ(out.size(), lines) << n;
    // The next call, on the file as it is later, gives the rest, nothing twice.
    EXPECT_EQ(qv::parseFindsText(text, next, out), text.size());
    ASSERT_EQ(out.size(), entries().size()) << n;
    for (size_t i = 0; i < out.size(); ++i) EXPECT_TRUE(same(out[i], entries()[i])) << n << " " << i;
  }
}

TEST(FindsFile, ADamagedByteCostsItsLineAndNothingWrongComesBack) {
  const std::string clean = wholeFile();
  const size_t header = std::string(qv::kFindsHeader).size();
  for (size_t at = header; at < clean.size(); ++at) {
    for (unsigned char flip : {0x01, 0x20, 0x80}) {
      std::string text = clean;
      text[at] = char(text[at] ^ flip);
      std::vector<FindsEntry> out;
      EXPECT_EQ(qv::parseFindsText(text, 0, out), text.rfind('\n') + 1);
      // The damaged line goes (with its neighbour when its '\n' went), the others stay.
      EXPECT_GE(out.size(), entries().size() - 2) << at;
      EXPECT_LT(out.size(), entries().size()) << at;
      for (const FindsEntry& e : out) {
        bool known = false;
        for (const FindsEntry& original : entries()) known = known || same(e, original);
        EXPECT_TRUE(known) << at << ": " << e.file << " " << e.folder;
      }
    }
  }
}

TEST(FindsFile, OnlyWhatTheEngineWritesIsTakenEvenWithARightCrc) {
  const std::string good = "d0001\\a.jpg\t\\DCIM\tpresent";
  for (const std::string& body : {
           std::string("\\d0001\\a.jpg\t\\\tpresent"),   // not under OUTDIR
           std::string("d0001\\..\\..\\a.jpg\t\\\tpresent"),
           std::string("C:a.jpg\t\\\tpresent"),
           std::string("d0001\\\\a.jpg\t\\\tpresent"),   // empty name
           std::string("\t\\\tpresent"),
           std::string("d0001\\a.jpg\tDCIM\tpresent"),    // folder not from the root
           std::string("d0001\\a.jpg\t\\\tgone"),
           std::string("d0001\\a.jpg\t\\\tpresent\textra"),
           std::string("d0001\\a.jpg\t\\\xC0\xAF\tpresent"),  // not UTF-8
           std::string("d0001\\a.jpg\t\\\tdeleted\r"),
           std::string("d0001\\a.jpg\t\\\tdeleted\tdamaged 101"),  // more than the whole
           std::string("d0001\\a.jpg\t\\\tdeleted\tdamaged 060"),
           std::string("d0001\\a.jpg\t\\\tdeleted\tdamaged -1"),
           std::string("d0001\\a.jpg\t\\\tdeleted\tdamaged "),
           std::string("d0001\\a.jpg\t\\\tdeleted\tdamagedx"),
           std::string("d0001\\a.jpg\t\\\tdamaged 50\tdeleted"),
           std::string("d0001\\a.jpg\t\\\tdeleted\tdamaged 5\tx"),
           // A content find: only damaged, never with a folder.
           std::string("d0001\\a.jpg\t\tfound"),
           std::string("d0001\\a.jpg\t\\DCIM\tfound\tdamaged 50"),
           std::string("d0001\\a.jpg\t\\\tfound\tdamaged"),
           std::string("d0001\\a.jpg\t\tFound\tdamaged 50"),
           std::string("d0001\\a.jpg\t\tfound deleted\tdamaged"),
       }) {
    std::vector<FindsEntry> out;
    const std::string text = qv::kFindsHeader + signedLine(body) + signedLine(good);
    EXPECT_EQ(qv::parseFindsText(text, 0, out), text.size());
    ASSERT_EQ(out.size(), 1u) << body;
    EXPECT_EQ(out[0].file, "d0001\\a.jpg");
  }
  // Upper-case digits are not what is written either.
  std::string upper = signedLine(good);
  for (size_t i = upper.rfind('\t') + 1; i < upper.size(); ++i) upper[i] = char(std::toupper(upper[i]));
  ASSERT_NE(upper, signedLine(good));  // the CRC has letters
  std::vector<FindsEntry> out;
  qv::parseFindsText(qv::kFindsHeader + upper, 0, out);
  EXPECT_TRUE(out.empty());
}

TEST(FindsFile, AnotherVersionOrANewerShorterFileGivesNothing) {
  const std::string line = qv::formatFindsLine(entries()[0]);
  std::vector<FindsEntry> out;
  EXPECT_EQ(qv::parseFindsText("quorvane-finds 2\n" + line, 0, out), 0u);
  EXPECT_EQ(qv::parseFindsText(line + line, 0, out), 0u);
  EXPECT_EQ(qv::parseFindsText("", 0, out), 0u);
  EXPECT_TRUE(out.empty());
  // The engine started again and the file is shorter than what was read.
  EXPECT_EQ(qv::parseFindsText(qv::kFindsHeader, 500, out), 0u);
  EXPECT_TRUE(out.empty());
}

TEST(FindsFile, LiesBesideTheDataFolder) {
  EXPECT_EQ(qv::findsFilePath("C:\\Users\\a\\tarnwick-software\\data\\temp"), "C:\\Users\\a\\tarnwick-software\\data.finds");
  EXPECT_EQ(qv::findsFilePath("E:\\saved\\Quorvane work folder\\temp"), "E:\\saved\\Quorvane work folder.finds");
  for (const char* none : {"temp", "C:\\temp", "/temp", ""}) EXPECT_EQ(qv::findsFilePath(none), "") << none;
}
