// The intake on a folder of its own: what a walk hands on and what it
// leaves, the finds file's records reaching their finds before and after
// they are listed, the finds file kept or replaced, and a list out of step.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "FileUtils.h"
#include "FindsIntake.h"
#include "TestPictures.h"
#include "UiTest.h"
#include "WindowTest.h"
#include "finds_file.h"

using namespace uitest;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

bool Near(uint32_t p, uint32_t want)
{
    for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF)) > 48)
            return false;
    }
    return true;
}

// A list that keeps what it was handed; skew makes it answer items out of
// step with what it holds.
class RecordingSink : public IFindsSink {
public:
    struct Listed {
        std::string path;
        bool decodes;
        uint32_t middle;  // the thumbnail's middle pixel
        ThumbnailPixels pixels;
        bool hasRecord;
        FindRecord record;
    };
    int AddFind(const NewFind& find) override
    {
        Listed listed{find.path.GetString(), find.decodes,
                      find.pixels.size() == 64 * 64 ? find.pixels[32 * 64 + 32] : 0u, find.pixels, find.record != nullptr,
                      find.record ? *find.record : FindRecord()};
        items.push_back(listed);
        return static_cast<int>(items.size()) - 1 + skew;
    }
    void UpdateFind(int item, const FindRecord& record) override { updates.push_back({item, record}); }

    const Listed* Find(const std::string& path) const
    {
        for (const Listed& listed : items) {
            if (listed.path == path)
                return &listed;
        }
        return nullptr;
    }

    std::vector<Listed> items;
    std::vector<std::pair<int, FindRecord>> updates;
    int outOfStep = 0;
    int skew = 0;
};

class FindsIntakeTest : public ::testing::Test {
protected:
    FindsIntakeTest()
    {
        CreateDirectoryA(m_data.c_str(), nullptr);
        CreateDirectoryA(m_out.c_str(), nullptr);
        CreateDirectoryA((m_out + "\\d0001").c_str(), nullptr);
    }
    ~FindsIntakeTest() override { DeleteFileA(qv::findsFilePath(m_out).c_str()); }

    // Walks to the end and takes in everything the workers were given.
    CFindsIntake::Walk WalkAndTakeIn(bool engineRunning)
    {
        CFindsIntake::Walk walk = CFindsIntake::Walk::Going;
        while (walk == CFindsIntake::Walk::Going)
            walk = m_intake.WalkStep(m_data.c_str(), engineRunning, std::chrono::milliseconds(15), m_sink);
        EXPECT_TRUE(WaitUntil([&] {
            m_sink.outOfStep += m_intake.TakeIn(std::chrono::milliseconds(25), m_sink);
            return m_intake.Waiting() == 0;
        }, 20000));
        return walk;
    }

    TempFolder m_folder{"finds-intake"};
    const std::string m_data = m_folder.Join("data");
    const std::string m_out = m_folder.Join("data\\temp");
    CFindsIntake m_intake;
    RecordingSink m_sink;
};

// Pictures are handed on once each with their thumbnails; a file that does
// not decode comes with the placeholder; other files are passed over. A
// record that came first rides with its find; one that comes later (its
// line was torn) reaches the item listed; a damaged line is passed over.
TEST_F(FindsIntakeTest, HandsOnPicturesWithTheRecordsThatCame)
{
    const std::string beach = m_out + "\\d0001\\Beach.jpg";
    const std::string dog = m_out + "\\d0001\\Dog.jpg";
    const std::string broken = m_out + "\\d0001\\Broken.jpg";
    ASSERT_TRUE(SavePicture(beach, 40, 40, 0x00FF00, L"image/png"));
    ASSERT_TRUE(SavePicture(dog, 40, 40, 0x0000FF, L"image/png"));
    WriteFileBytes(broken, std::string("\xFF\xD8\xFF\xE0", 4) + "cut short");
    WriteFileBytes(m_out + "\\d0001\\notes.txt", "no picture");
    const std::string finds = qv::findsFilePath(m_out);
    ASSERT_FALSE(finds.empty());
    const std::string first = qv::formatFindsLine({"d0001\\Beach.jpg", "\\DCIM\\Holiday", true});
    const std::string second = qv::formatFindsLine({"d0001\\Dog.jpg", "\\Pets", false});
    WriteFileBytes(finds, std::string(qv::kFindsHeader) + first + second.substr(0, second.size() - 1));

    m_intake.UseFindsFile(m_out.c_str(), false);
    EXPECT_TRUE(m_intake.HasFindsFile());
    EXPECT_EQ(WalkAndTakeIn(false), CFindsIntake::Walk::LastEnded);
    EXPECT_TRUE(m_intake.LastPass());

    ASSERT_EQ(m_sink.items.size(), 3u);
    EXPECT_EQ(m_sink.outOfStep, 0);
    const RecordingSink::Listed* b = m_sink.Find(beach);
    const RecordingSink::Listed* d = m_sink.Find(dog);
    const RecordingSink::Listed* x = m_sink.Find(broken);
    ASSERT_TRUE(b && d && x);
    EXPECT_TRUE(b->decodes);
    EXPECT_TRUE(Near(b->middle, 0x00FF00));
    ASSERT_TRUE(b->hasRecord);
    EXPECT_EQ(b->record.folder, "\\DCIM\\Holiday");
    EXPECT_TRUE(b->record.deleted);
    EXPECT_FALSE(d->hasRecord);
    EXPECT_FALSE(x->decodes);
    EXPECT_FALSE(x->hasRecord);
    // The placeholder (icon.png beside the tests), not a white square.
    ThumbnailPixels placeholder;
    ASSERT_TRUE(RenderThumbnail(GetModuleFolder() + "icon.png", placeholder));
    EXPECT_EQ(x->pixels, placeholder);
    EXPECT_NE(x->pixels, ThumbnailPixels(64 * 64, 0xFFFFFF));

    std::string damaged = qv::formatFindsLine({"d0001\\Beach.jpg", "\\Elsewhere", false});
    damaged[3] ^= 1;
    WriteFileBytes(finds, std::string(qv::kFindsHeader) + first + second + damaged);
    m_intake.ReadRecords(m_sink);
    ASSERT_EQ(m_sink.updates.size(), 1u);
    EXPECT_EQ(m_sink.updates[0].first, static_cast<int>(d - m_sink.items.data()));
    EXPECT_EQ(m_sink.updates[0].second.folder, "\\Pets");
    EXPECT_FALSE(m_sink.updates[0].second.deleted);
    // Read once: nothing new, nothing handed on again.
    m_intake.ReadRecords(m_sink);
    EXPECT_EQ(m_sink.updates.size(), 1u);

    // A later walk passes over what was handed on; once the list forgets,
    // everything comes again.
    WalkAndTakeIn(false);
    EXPECT_EQ(m_sink.items.size(), 3u);
    m_intake.Restart();
    m_intake.ForgetListed();
    m_sink.items.clear();
    WalkAndTakeIn(false);
    EXPECT_EQ(m_sink.items.size(), 3u);
    EXPECT_EQ(m_sink.outOfStep, 0);
}

// A search's own finds file replaces an older one at its start; the last
// search listed again reads the one it left (deleting it would lose every
// record of where the finds were).
TEST_F(FindsIntakeTest, OnlyANewSearchReplacesTheFindsFile)
{
    const std::string finds = qv::findsFilePath(m_out);
    const std::string line = qv::formatFindsLine({"d0001\\Beach.jpg", "\\DCIM", true});
    WriteFileBytes(finds, std::string(qv::kFindsHeader) + line);
    ASSERT_TRUE(SavePicture(m_out + "\\d0001\\Beach.jpg", 20, 20, 0xFF0000, L"image/png"));

    m_intake.UseFindsFile(m_out.c_str(), false);
    EXPECT_TRUE(Exists(finds));
    WalkAndTakeIn(false);
    ASSERT_EQ(m_sink.items.size(), 1u);
    EXPECT_TRUE(m_sink.items[0].hasRecord);

    m_intake.Restart();
    m_intake.ForgetListed();
    m_sink.items.clear();
    m_intake.UseFindsFile(m_out.c_str(), true);
    EXPECT_FALSE(Exists(finds));
    WalkAndTakeIn(false);
    ASSERT_EQ(m_sink.items.size(), 1u);
    EXPECT_FALSE(m_sink.items[0].hasRecord);
}

// A list whose items are out of step with the finds handed to it is
// counted for each find, and the intake goes on with the next one.
TEST_F(FindsIntakeTest, AListOutOfStepIsToldAndTheIntakeGoesOn)
{
    for (const char* name : {"one.png", "two.png"})
        ASSERT_TRUE(SavePicture(m_out + "\\d0001\\" + name, 8, 8, 0xFF0000, L"image/png"));
    m_sink.skew = 1;
    EXPECT_EQ(WalkAndTakeIn(true), CFindsIntake::Walk::Ended);
    EXPECT_FALSE(m_intake.LastPass());
    EXPECT_EQ(m_sink.items.size(), 2u);
    EXPECT_EQ(m_sink.outOfStep, 2);
}

}  // namespace
