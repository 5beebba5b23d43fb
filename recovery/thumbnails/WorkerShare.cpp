#include "WorkerShare.h"

CWorkerShare::CWorkerShare(unsigned cores) : m_cores(cores > 0 ? cores : 1) {}

unsigned CWorkerShare::Workers(bool searching) const
{
    return searching && m_cores > 1 ? m_cores - 1 : m_cores;
}
