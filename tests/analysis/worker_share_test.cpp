// The thumbnail workers' share of the machine: how many work at once,
// beside the search and after it; and the workers themselves beside a
// search on this machine: every result back in the order the files went in.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "TestPictures.h"
#include "ThumbnailMaker.h"
#include "UiTest.h"
#include "WindowTest.h"
#include "WorkerShare.h"

using namespace uitest;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

// Their number follows the machine's cores: the search keeps one of them
// while it runs, and a machine of one core still gets its worker.
TEST(WorkerShareTest, WorkersFollowTheCores)
{
    struct Case {
        unsigned cores, searching, after;
    };
    for (const Case& c : {Case{0, 1, 1}, Case{1, 1, 1}, Case{2, 1, 2}, Case{3, 2, 3}, Case{4, 3, 4}, Case{16, 15, 16}}) {
        const CWorkerShare share(c.cores);
        EXPECT_EQ(c.searching, share.Workers(true)) << c.cores << " cores";
        EXPECT_EQ(c.after, share.Workers(false)) << c.cores << " cores";
    }
}

// Beside a search the results come back in the order added, each with its
// picture, also when the search ends while some are being made.
TEST(ThumbnailWorkersTest, BesideTheSearchAndAfterItsEndInOrder)
{
    TempFolder folder("worker-share");
    std::vector<std::string> paths;
    const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF};
    for (int i = 0; i < 6; ++i) {
        paths.push_back(folder.Join("p" + std::to_string(i) + ".png"));
        // Large enough that a whole decode takes a while.
        ASSERT_TRUE(SavePicture(paths.back(), i % 2 ? 2400 : 200, i % 2 ? 1800 : 150, colours[i], L"image/png"));
    }
    CThumbnailMaker maker;
    maker.SetSearching(true);
    for (const std::string& path : paths)
        maker.Add(path.c_str());

    std::vector<CThumbnailMaker::Result> results;
    CThumbnailMaker::Result result;
    // The first two beside the search, the rest after its end.
    ASSERT_TRUE(WaitUntil([&] {
        while (maker.TakeNext(result))
            results.push_back(std::move(result));
        return results.size() >= 2;
    }, 20000));
    maker.SetSearching(false);
    ASSERT_TRUE(WaitUntil([&] {
        while (maker.TakeNext(result))
            results.push_back(std::move(result));
        return results.size() == paths.size();
    }, 20000));

    for (size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(paths[i], results[i].path.GetString());
        ASSERT_EQ(CThumbnailMaker::Outcome::Picture, results[i].outcome) << paths[i];
        const uint32_t middle = results[i].pixels[32 * 64 + 32];
        EXPECT_EQ(colours[i], middle) << paths[i];
    }
    EXPECT_EQ(0u, maker.Waiting());
}

}  // namespace
