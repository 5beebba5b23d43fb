// How many thumbnail workers run at once. The search comes first: while it
// runs the workers leave it a core (and run at a low priority, which Wine
// ignores: it does not pass thread priorities on to Linux, and Linux shares
// the processors evenly between sessions, the engine, started without a
// window, having one of its own); after its end every core works. Resting the workers after each
// file on two cores was tried and measured: it held the listed finds back
// (about 300 of 1,045 listed at the search's end instead of 1,000) and made
// the analysed view later, for no steady gain in the search's time.
#pragma once

class CWorkerShare {
public:
    // cores: the machine's, as the system reports them (0 counts as one).
    explicit CWorkerShare(unsigned cores);

    unsigned Cores() const { return m_cores; }
    // How many files the workers work on at once: one fewer than the cores
    // while searching (at least one), every core after.
    unsigned Workers(bool searching) const;

private:
    unsigned m_cores;
};
