#include <gtest/gtest.h>

#include "command_line.h"
#include "device_name.h"
#include "naming.h"
#include "types.h"

using namespace qv;

namespace {
bool parse(std::vector<std::string> args, EngineCommand& cmd) {
  std::string error;
  return parseCommandLine(args, cmd, error);
}
}  // namespace

TEST(CommandLine, TheProgramsArgumentString) {
  EngineCommand cmd;
  ASSERT_TRUE(parse({"/d", "C:\\x\\data\\temp", "/cmd", "/dev/sdb",
                     "fileopt,everything,disable,jpg,enable,png,enable,search"},
                    cmd));
  EXPECT_EQ(cmd.outDir, "C:\\x\\data\\temp");
  EXPECT_EQ(cmd.device, "/dev/sdb");
  EXPECT_EQ(cmd.types, typeBit(PicType::Jpg) | typeBit(PicType::Png));
  ASSERT_TRUE(parse({"/d", "o", "/cmd", "/dev/sda",
                     "fileopt,everything,disable,jpg,enable,gif,enable,png,enable,bmp,enable,tif,enable,search"},
                    cmd));
  EXPECT_EQ(cmd.types, 31u);
  ASSERT_TRUE(parse({"/d", "o", "/cmd", "/dev/sda",
                     "fileopt,everything,disable,jpg,enable,gif,enable,png,enable,bmp,enable,tif,enable,raw,enable,"
                     "heic,enable,avif,enable,webp,enable,search"},
                    cmd));
  EXPECT_EQ(cmd.types, kAllTypes);
  ASSERT_TRUE(parse({"/d", "o", "/cmd", "/dev/sda", "fileopt,everything,disable,raw,enable,webp,enable,search"}, cmd));
  EXPECT_EQ(cmd.types, typeBit(PicType::Raw) | typeBit(PicType::Webp));
  ASSERT_TRUE(parse({"/d", "o", "/cmd", "/dev/sda", "fileopt,everything,disable,search"}, cmd));
  EXPECT_EQ(cmd.types, 0u);
  EXPECT_EQ(cmd.copyPath, "");
  // A copy of the disk kept while searching.
  ASSERT_TRUE(parse({"/d", "o", "/copy", "D:\\E 2026-12-10.img", "/cmd", "/dev/sdb", "fileopt,everything,disable,jpg,enable,search"}, cmd));
  EXPECT_EQ(cmd.copyPath, "D:\\E 2026-12-10.img");
  EXPECT_EQ(cmd.device, "/dev/sdb");
  EXPECT_EQ(cmd.types, typeBit(PicType::Jpg));
}

TEST(CommandLine, AnythingElseIsRefused) {
  EngineCommand cmd;
  const std::string ok = "fileopt,everything,disable,jpg,enable,search";
  EXPECT_FALSE(parse({}, cmd));
  EXPECT_FALSE(parse({"/d", "o", "/cmd", "/dev/sda"}, cmd));
  EXPECT_FALSE(parse({"/d", "o", "/cmd", "/dev/sda", ok, "extra"}, cmd));
  EXPECT_FALSE(parse({"-d", "o", "/cmd", "/dev/sda", ok}, cmd));
  EXPECT_FALSE(parse({"/d", "", "/cmd", "/dev/sda", ok}, cmd));
  EXPECT_FALSE(parse({"/d", "o", "/cmd", "/dev/sda", "fileopt,everything,disable,jpg,enable,"}, cmd));
  EXPECT_FALSE(parse({"/d", "o", "/cmd", "/dev/sda", "fileopt,everything,disable,JPG,enable,search"}, cmd));
  EXPECT_FALSE(parse({"/d", "o", "/cmd", "/dev/sda", "fileopt,everything,disable,jpeg,enable,search"}, cmd));
  EXPECT_FALSE(parse({"/d", "o", "/cmd", "/dev/sda", "fileopt,everything,disable,jpg,search"}, cmd));
  EXPECT_FALSE(parse({"/d", "o", "/cmd", "/dev/sda", "everything,disable,jpg,enable,search"}, cmd));
  EXPECT_FALSE(parse({"/d", "o", "/cmd", "/dev/sda", ok + ","}, cmd));
  EXPECT_FALSE(parse({"/d", "o", "/copy", "", "/cmd", "/dev/sda", ok}, cmd));
  EXPECT_FALSE(parse({"/d", "o", "/cmd", "/dev/sda", ok, "/copy", "x.img"}, cmd));
  EXPECT_FALSE(parse({"/copy", "x.img", "/d", "o", "/cmd", "/dev/sda", ok}, cmd));
}

TEST(DeviceNames, LettersToDiskNumbers) {
  EXPECT_EQ(diskNumberFromDevice("/dev/sda"), 0);
  EXPECT_EQ(diskNumberFromDevice("/dev/sdb"), 1);
  EXPECT_EQ(diskNumberFromDevice("/dev/sdz"), 25);
  EXPECT_EQ(diskNumberFromDevice("/dev/sdaa"), 26);
  EXPECT_EQ(diskNumberFromDevice("/dev/sdab"), 27);
  EXPECT_EQ(diskNumberFromDevice("/dev/sdba"), 52);
  for (const char* bad : {"/dev/sd", "/dev/sd{", "/dev/sdA", "/dev/sda1", "/dev/hda", "sda", "/dev/sdaaa"})
    EXPECT_EQ(diskNumberFromDevice(bad), -1) << bad;
}

TEST(DeviceNames, Table) {
  auto table = parseDeviceTable(
      "# comment\r\n/dev/sda=Z:\\tmp\\card.img\r\n\n  /dev/sdb = /x/y.img  \nbroken line\n=nothing\n/dev/sdc=");
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(lookupDevice(table, "/dev/sda"), "Z:\\tmp\\card.img");
  EXPECT_EQ(lookupDevice(table, "/dev/sdb"), "/x/y.img");
  EXPECT_EQ(lookupDevice(table, "/dev/sdc"), "");
}

TEST(Naming, UniqueByStartAndHiddenWhileWritten) {
  EXPECT_EQ(outputName(PicType::Jpg, 512 * 12345), "f0000012345.jpg");
  EXPECT_EQ(outputName(PicType::Jpg, 512 * 12345 + 1), "f0000012345_001.jpg");
  EXPECT_EQ(outputName(PicType::Png, 512 * 7 + 511), "f0000000007_511.png");
  EXPECT_EQ(outputName(PicType::Tif, 0), "f0000000000.tif");
  EXPECT_EQ(partName("f0000000001.png"), "f0000000001.png.part");
}
