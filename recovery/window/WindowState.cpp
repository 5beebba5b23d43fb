#include "WindowState.h"

namespace {

const char kStart[] = "Recovering data, please wait";
const char kAnalysing[] = "Analyzing disk, please wait";
const char kAnalysingAndClearing[] = "Analyzing disk, clearing the last search, please wait";
const char kReopening[] = "Listing the pictures of the last search";
const char kAnalysed[] = "Press 'Recover' to recover files detected.";
const int kMostAnalysingDots = 5;
const int kMostReopeningDots = 3;

}  // namespace

bool CWindowState::RecoverShown() const
{
    switch (view) {
    case WindowView::Analysing:
        return !reopening;
    case WindowView::Analysed:
    case WindowView::Recovering:
        return true;
    default:
        return false;
    }
}

const char* CWindowState::RecoverCaption() const
{
    return view == WindowView::Analysing || view == WindowView::Recovering ? "Cancel" : "Recover";
}

void CWindowState::SetStatus(StatusLine status)
{
    m_status = status;
    m_dots = 0;
    m_clearing = false;
}

void CWindowState::StepAnalysing(bool clearing)
{
    const bool same = m_status == StatusLine::Analysing && m_clearing == clearing;
    m_dots = same && m_dots < kMostAnalysingDots ? m_dots + 1 : 0;
    m_status = StatusLine::Analysing;
    m_clearing = clearing;
}

void CWindowState::StepReopening()
{
    m_dots = m_status == StatusLine::Reopening && m_dots < kMostReopeningDots ? m_dots + 1 : 0;
    m_status = StatusLine::Reopening;
    m_clearing = false;
}

void CWindowState::StepStatus(bool clearing)
{
    if (reopening)
        StepReopening();
    else
        StepAnalysing(clearing);
}

bool CWindowState::ClearingNews(bool clearing, bool intakeSteps) const
{
    // After the search the line says what to do next instead.
    if (!searching)
        return false;
    const bool saysClearing = StatusSaysClearing();
    return saysClearing != clearing && (saysClearing || !intakeSteps);
}

std::string CWindowState::StatusText() const
{
    switch (m_status) {
    case StatusLine::Start:
        return kStart;
    case StatusLine::Analysing:
        return std::string(m_clearing ? kAnalysingAndClearing : kAnalysing) + std::string(m_dots, '.');
    case StatusLine::Reopening:
        return std::string(kReopening) + std::string(m_dots, '.');
    case StatusLine::Analysed:
        return kAnalysed;
    }
    return std::string();
}
