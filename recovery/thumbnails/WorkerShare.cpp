#include "WorkerShare.h"

namespace {

// Up to this many cores a worker beside the search shares its core with the
// window and Wine's server; from three on the search keeps one to itself
// and the others are the workers'.
const unsigned kFewCores = 2;
// The rest after a file, as a multiple of its time: a third of a core.
const int kRestPerBusy = 2;
// A file that took longer (a decode slowed by a loaded machine) does not
// hold the worker much past a look at the search.
const std::chrono::milliseconds kLongestRest(1500);

}  // namespace

CWorkerShare::CWorkerShare(unsigned cores) : m_cores(cores > 0 ? cores : 1) {}

unsigned CWorkerShare::Workers(bool searching) const
{
    return searching && m_cores > 1 ? m_cores - 1 : m_cores;
}

std::chrono::milliseconds CWorkerShare::RestAfter(std::chrono::milliseconds busy, bool searching) const
{
    if (!searching || m_cores > kFewCores || busy.count() <= 0)
        return std::chrono::milliseconds(0);
    const std::chrono::milliseconds rest = busy * kRestPerBusy;
    return rest < kLongestRest ? rest : kLongestRest;
}
