// What the main window shows and what runs, as values: the view, whether
// the engine searches or a copy runs, and the steps of the status line and
// the select-all link. The window changes these and then shows them
// (CRecoveryDlg::ShowState); nothing is read back from its controls.
#pragma once

#include <string>

enum class WindowView {
    Loading,     // the drive list is being filled
    Ready,       // drive selection
    Analysing,   // a search (or the last one listed again) is taken in
    Analysed,    // the finds, Recover and the save folder
    Recovering,  // the ticked pictures are being copied
};

// What the status line over the picture list says.
enum class StatusLine {
    Start,      // the line's text before a search has said anything
    Analysing,  // "Analyzing disk..." with up to five dots
    Reopening,  // "Listing the pictures of the last search" with up to three
    Analysed,   // what to do next
};

class CWindowState {
public:
    WindowView view = WindowView::Loading;
    // The engine's run is going (from Next until it has ended or stopped).
    bool searching = false;
    // A copy runs, from Recover until its summary has been dealt with; its
    // Cancel has been pressed, or the copy is done, when copyStopping.
    bool copying = false;
    bool copyStopping = false;
    // The pictures of the last search are being listed again: no engine,
    // nothing for Cancel to stop.
    bool reopening = false;
    // The select-all link ticks every picture shown (else it unticks them).
    bool selectAllTicks = false;

    // The Recover button is the search's Cancel: what Escape presses too.
    bool CancelsSearch() const { return view == WindowView::Analysing && !reopening; }
    // The Recover button is the copy's Cancel, with something left to stop.
    bool CancelsCopy() const { return view == WindowView::Recovering && copying && !copyStopping; }
    bool RecoverShown() const;
    const char* RecoverCaption() const;
    bool NewSearchShown() const { return view == WindowView::Analysed && !searching; }

    // The status line.
    void SetStatus(StatusLine status);
    // The next dots of the analysing line; clearing says whether the last
    // search's files are still being deleted (the line then says so, and
    // starts its dots again when that changes).
    void StepAnalysing(bool clearing);
    // The next dots of the reopening line.
    void StepReopening();
    // The line's next step as pictures come in: the reopening line's while
    // the last search is listed again, else the analysing line's.
    void StepStatus(bool clearing);
    // Whether the line is to step for the deletion of the last search's
    // files alone (clearing), during a search: when it says otherwise, and
    // the intake (intakeSteps) is not there to step it anyway; saying so no
    // longer never waits.
    bool ClearingNews(bool clearing, bool intakeSteps) const;
    StatusLine Status() const { return m_status; }
    bool StatusSaysClearing() const { return m_status == StatusLine::Analysing && m_clearing; }
    std::string StatusText() const;

private:
    StatusLine m_status = StatusLine::Start;
    int m_dots = 0;
    bool m_clearing = false;
};
