// How much of the machine the thumbnail workers take. The search comes
// first: while it runs the workers leave it a core, and on a machine of one
// or two cores, where what is left also serves the window and Wine's server
// that the engine waits on, a worker rests after each file for twice the
// time the file took. A cheap thumbnail (a camera's own small copy, a small
// picture) then costs the search almost nothing and comes almost at once,
// while a whole decode is held back to a third of a core. Thread priorities
// alone would not do: Wine ignores them. After the search's end every core
// works without rest.
#pragma once

#include <chrono>

class CWorkerShare {
public:
    // cores: the machine's, as the system reports them (0 counts as one).
    explicit CWorkerShare(unsigned cores);

    unsigned Cores() const { return m_cores; }
    // How many files the workers work on at once: one fewer than the cores
    // while searching (at least one), every core after.
    unsigned Workers(bool searching) const;
    // How long a worker rests after a file that kept it busy for busy.
    std::chrono::milliseconds RestAfter(std::chrono::milliseconds busy, bool searching) const;

private:
    unsigned m_cores;
};
