// The pace of the intake's ticks: whether the intake timer runs, and what
// each tick does, so that the window answers in between. Stepping the
// status line, telling the list of new items and scrolling to them each
// draw at once: a tick does one of them, each at most so often. Times are
// the tick counts the caller passes (GetTickCount's milliseconds).
#pragma once

#include <windows.h>

#include <cstddef>

class CIntakePacer {
public:
    // The status line's dots and the list's news of new items change at
    // most this often, however short the ticks; the count line during a
    // search at most this often.
    static const DWORD kStatusStepMs = 200;
    static const DWORD kListStepMs = 200;
    static const DWORD kCountStepMs = 500;

    enum class Step {
        End,         // nothing waits: the intake ends
        Scroll,      // the list heard of new items last tick: scroll to them
        StatusLine,  // step the status line
        TakeIn,      // take in what the workers finished
    };

    // Whether the intake timer runs.
    bool Armed() const { return m_bArmed; }
    // True when finds wait and the timer is not running yet: the caller
    // starts it.
    bool Arm(size_t waiting);
    // The timer is stopped.
    void Disarm() { m_bArmed = false; }

    // What an intake tick does now, with this many finds waiting.
    Step Next(size_t waiting, DWORD now);
    // After taking in: whether the list may hear of its new items now;
    // once it has, the next tick scrolls to them.
    bool ListStepDue(DWORD now) const { return now - m_lastListStep >= kListStepMs; }
    void ListStepped(DWORD now);
    // At the intake's end, after the list has heard of any new items:
    // whether it scrolls to them (no tick is left to do it).
    bool ScrollAtEnd(bool countChanged);
    // The list was emptied: nothing to scroll to.
    void ListCleared() { m_bScrollPending = false; }

    // Whether the count line changes now; forced, it always does.
    bool CountLineDue(bool force, DWORD now);

private:
    bool m_bArmed = false;
    bool m_bScrollPending = false;
    DWORD m_lastStatusStep = 0;
    DWORD m_lastListStep = 0;
    DWORD m_lastCountStep = 0;
};
