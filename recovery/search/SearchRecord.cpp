#include "SearchRecord.h"

void CSearchRecord::Begin(const CString& drive)
{
    m_drive = drive;
    m_unrecorded = true;
    GetLocalTime(&m_day);
    m_workFolder.Empty();
    m_recoveryFolder.Empty();
}

SYSTEMTIME CSearchRecord::Day() const
{
    if (m_day.wYear != 0)
        return m_day;
    SYSTEMTIME today;
    GetLocalTime(&today);
    return today;
}

void CSearchRecord::KeepRecoveryFolder(const CString& folder)
{
    if (m_recoveryFolder == folder)
        return;
    m_recoveryFolder = folder;
    WriteRecoveryFolder(m_workFolder, folder);
}

void CSearchRecord::Remember(bool final, int pictures, const CString& workFolder, const CString& outFolder)
{
    if (!m_unrecorded)
        return;
    if (final)
        m_unrecorded = false;
    if (pictures == 0 || workFolder.IsEmpty())
        return;
    LastSearch search;
    search.workFolder = workFolder;
    search.outDir = outFolder;
    search.drive = m_drive;
    GetLocalTime(&search.ended);
    search.pictures = pictures;
    search.recoveryFolder = m_recoveryFolder;
    m_workFolder = workFolder;
    WriteLastSearch(search);
}

bool CSearchRecord::Find(const std::vector<CString>& workFolders)
{
    m_known = FindLastSearch(workFolders, m_offered);
    return m_known;
}

bool CSearchRecord::Reopen(LastSearch& search)
{
    if (!m_known || !ReadLastSearch(m_offered.workFolder, search))
        return false;
    m_drive = search.drive;
    m_day = search.ended;
    m_workFolder = search.workFolder;
    m_recoveryFolder = search.recoveryFolder;
    m_unrecorded = false;
    return true;
}
