#include "IntakePacer.h"

bool CIntakePacer::Arm(size_t waiting)
{
    if (waiting == 0 || m_bArmed)
        return false;
    m_bArmed = true;
    return true;
}

CIntakePacer::Step CIntakePacer::Next(size_t waiting, DWORD now)
{
    if (waiting == 0)
        return Step::End;
    if (m_bScrollPending) {
        m_bScrollPending = false;
        return Step::Scroll;
    }
    // Unsigned differences: right across the tick count's wrap.
    if (now - m_lastStatusStep >= kStatusStepMs) {
        m_lastStatusStep = now;
        return Step::StatusLine;
    }
    return Step::TakeIn;
}

void CIntakePacer::ListStepped(DWORD now)
{
    m_lastListStep = now;
    m_bScrollPending = true;
}

bool CIntakePacer::ScrollAtEnd(bool countChanged)
{
    const bool scroll = countChanged || m_bScrollPending;
    m_bScrollPending = false;
    return scroll;
}

bool CIntakePacer::CountLineDue(bool force, DWORD now)
{
    if (!force && now - m_lastCountStep < kCountStepMs)
        return false;
    m_lastCountStep = now;
    return true;
}
