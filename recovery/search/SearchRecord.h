// The record of the search shown (see LastSearch.h): which drive it read,
// whether it still has to be written once its engine has ended, and the
// last search found at start to be offered again.
#pragma once

#include <vector>

#include "Framework.h"
#include "LastSearch.h"

class CSearchRecord {
public:
    // A search of this drive starts: it is recorded when it ends.
    void Begin(const CString& drive);
    // Writes lastsearch.ini for the search shown, while it has not been
    // written for good; final writes it for good (a cancelled search is
    // written again, with every find, by its last pass, and not after).
    // Nothing is written without pictures or a work folder.
    void Remember(bool final, int pictures, const CString& workFolder, const CString& outFolder);

    // Looks for the newest record in these work folders; true when one is
    // there to be offered.
    bool Find(const std::vector<CString>& workFolders);
    // Nothing is offered.
    void Forget() { m_known = false; }
    bool Known() const { return m_known; }
    // The offer's link text.
    CString LinkText() const { return LastSearchLinkText(m_offered); }
    // Reads the offered record again, to list its finds: false when it is no
    // longer there (its folder may have gone since it was found). A search
    // listed again is not recorded again.
    bool Reopen(LastSearch& search);

    // The search shown: its drive ("E:", empty when not known) and the day
    // it was made (today's when not known), for its recovery folder's name.
    CString Drive() const { return m_drive; }
    SYSTEMTIME Day() const;
    // Where Recover put this search's pictures; empty before the first
    // Recover. Kept with the search's record, so that its pictures listed
    // again go to the same folder.
    CString RecoveryFolder() const { return m_recoveryFolder; }
    void KeepRecoveryFolder(const CString& folder);

private:
    CString m_drive;
    SYSTEMTIME m_day = {};
    CString m_workFolder;
    CString m_recoveryFolder;
    bool m_unrecorded = false;
    LastSearch m_offered;
    bool m_known = false;
};
