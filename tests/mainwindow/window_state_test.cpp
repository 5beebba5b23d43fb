// The main window's state as values: which job the one Recover button does
// in each view, and the status line's steps.
#include <gtest/gtest.h>

#include "WindowState.h"

namespace {

// The button is Recover, the search's Cancel or the copy's, and Escape
// presses only the search's. A copy that is done (its summary open) or told
// to stop has nothing left to cancel; the last search listed again has no
// search to cancel.
TEST(WindowStateTest, RecoverButtonJobInEachView)
{
    struct Case {
        WindowView view;
        bool reopening;
        bool copying;
        bool copyStopping;
        bool shown;
        const char* caption;
        bool cancelsSearch;
        bool cancelsCopy;
    };
    const Case cases[] = {
        {WindowView::Loading, false, false, false, false, "Recover", false, false},
        {WindowView::Ready, false, false, false, false, "Recover", false, false},
        {WindowView::Analysing, false, false, false, true, "Cancel", true, false},
        {WindowView::Analysing, true, false, false, false, "Cancel", false, false},
        {WindowView::Analysed, false, false, false, true, "Recover", false, false},
        {WindowView::Recovering, false, true, false, true, "Cancel", false, true},
        {WindowView::Recovering, false, true, true, true, "Cancel", false, false},
    };
    for (const Case& c : cases) {
        CWindowState state;
        state.view = c.view;
        state.reopening = c.reopening;
        state.copying = c.copying;
        state.copyStopping = c.copyStopping;
        SCOPED_TRACE(static_cast<int>(c.view));
        EXPECT_EQ(state.RecoverShown(), c.shown);
        EXPECT_STREQ(state.RecoverCaption(), c.caption);
        EXPECT_EQ(state.CancelsSearch(), c.cancelsSearch);
        EXPECT_EQ(state.CancelsCopy(), c.cancelsCopy);
    }

    // New search belongs to the results, once no engine runs.
    CWindowState state;
    state.view = WindowView::Analysed;
    EXPECT_TRUE(state.NewSearchShown());
    state.searching = true;
    EXPECT_FALSE(state.NewSearchShown());
}

TEST(WindowStateTest, StatusLineSteps)
{
    CWindowState state;
    EXPECT_EQ(state.StatusText(), "Recovering data, please wait");
    EXPECT_FALSE(state.StatusSaysClearing());

    // Up to five dots, then none again.
    const std::string analysing = "Analyzing disk, please wait";
    for (int round = 0; round < 2; ++round) {
        for (int dots = 0; dots <= 5; ++dots) {
            state.StepAnalysing(false);
            EXPECT_EQ(state.StatusText(), analysing + std::string(static_cast<size_t>(dots), '.'));
        }
    }
    // The deletion of the last search starting or ending starts the dots again.
    state.StepAnalysing(false);
    state.StepAnalysing(false);
    state.StepAnalysing(true);
    EXPECT_EQ(state.StatusText(), "Analyzing disk, clearing the last search, please wait");
    EXPECT_TRUE(state.StatusSaysClearing());
    state.StepAnalysing(true);
    EXPECT_EQ(state.StatusText(), "Analyzing disk, clearing the last search, please wait.");
    state.StepAnalysing(false);
    EXPECT_EQ(state.StatusText(), analysing);
    EXPECT_FALSE(state.StatusSaysClearing());

    // The last search listed again: up to three dots.
    state.SetStatus(StatusLine::Reopening);
    const std::string reopening = "Listing the pictures of the last search";
    EXPECT_EQ(state.StatusText(), reopening);
    for (const char* dots : {".", "..", "...", ""}) {
        state.StepReopening();
        EXPECT_EQ(state.StatusText(), reopening + dots);
    }

    state.SetStatus(StatusLine::Analysed);
    EXPECT_EQ(state.StatusText(), "Press 'Recover' to recover files detected.");
    EXPECT_FALSE(state.StatusSaysClearing());
}

// The deletion of the last search's files is news for the line only during
// a search, and only while the intake is not stepping the line anyway;
// that the deletion has ended is told at once.
TEST(WindowStateTest, ClearingNewsAndSteps)
{
    CWindowState state;
    state.SetStatus(StatusLine::Start);
    EXPECT_FALSE(state.ClearingNews(true, false));
    state.searching = true;
    EXPECT_TRUE(state.ClearingNews(true, false));
    EXPECT_FALSE(state.ClearingNews(true, true));
    EXPECT_FALSE(state.ClearingNews(false, false));

    state.StepStatus(true);
    EXPECT_TRUE(state.StatusSaysClearing());
    EXPECT_FALSE(state.ClearingNews(true, false));
    EXPECT_TRUE(state.ClearingNews(false, true));
    state.StepStatus(false);
    EXPECT_EQ(state.StatusText(), "Analyzing disk, please wait");

    // Listed again: the reopening line, whatever the deletion does.
    state.reopening = true;
    state.StepStatus(true);
    EXPECT_EQ(state.StatusText(), "Listing the pictures of the last search");
    EXPECT_FALSE(state.StatusSaysClearing());
}

}  // namespace
