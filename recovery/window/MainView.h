// The main window's controls: their styles, their places in each view and
// which of them show, as the window's state says. The dialog template makes
// the controls of the Ready view; the New search button, the last search's
// link, the filter bar and the count line are made here. Nothing here acts
// on a press: an access key is handed to the window as its control's press,
// and the window's parts act on it.
#pragma once

#include <windows.h>

#include <vector>

#include "DataExchange.h"
#include "DriveDiscovery.h"
#include "FilterBar.h"
#include "Framework.h"
#include "IconButton.h"
#include "LinkLabel.h"
#include "SearchProgressView.h"
#include "WindowPlaces.h"
#include "WindowState.h"

class CMainView {
public:
    CMainView() = default;
    ~CMainView();
    CMainView(const CMainView&) = delete;
    CMainView& operator=(const CMainView&) = delete;

    // What the state alone does not say, for Show.
    struct Facts {
        bool anyFinds = false;         // the list holds a picture, shown or not
        bool lastSearchKnown = false;  // the Ready view offers the last search
        bool searchBarShown = false;   // the search's progress is on the bar
    };

    // Binds the template's controls.
    void Exchange(CDataExchange* pDX);
    // Styles the controls, takes the views' places from the template and
    // makes the controls it lacks; the search's view gets the bar and line.
    void Create(CWnd& dialog, CSearchProgressView& searchView);

    // Every control's text and visibility as state says.
    void Show(const CWindowState& state, const Facts& facts);

    // The drive list.
    void ShowDrives(std::vector<DriveEntry> drives);
    // The selected drive's row text; false when none is selected.
    bool SelectedDrive(CString& drive) const;
    // The drive listed under this name, or null.
    const DriveEntry* Drive(const CString& drive) const;
    const std::vector<DriveEntry>& Drives() const { return m_drives; }

    // The arrangement's choice beside Recover, as its text; empty when none
    // is chosen.
    CString ArrangementChoice() const;

    // The copy of the disk kept while searching (shown in the Ready view,
    // under Next): the tick as the user left it, and the option shown.
    bool CopyWanted() const { return m_chkCopy.IsWindow() && m_chkCopy.GetCheck() == BST_CHECKED; }
    void SetCopy(bool wanted, const CString& folder);
    // Selects the drive list's row of this drive; false when none has it.
    bool SelectDrive(const CString& drive);

    CString SaveFolder() const { return m_editSaveDir.GetWindowText(); }
    void SetSaveFolder(const CString& folder) { m_editSaveDir.SetWindowText(folder); }

    // The analysing view: the line beside Cancel takes the tip's place
    // (before the view shows), then the select-all label, the filter bar,
    // the count line and the list take theirs.
    void PlaceTipLine();
    void PlaceFinds();
    // The analysed view: the line emptied at the copy's place, and the
    // list ending above the save folder.
    void ResetProgressLine();
    void PlaceListAboveSaveFolder();

    // The copy's bar and line; the Recover button at its own place, or
    // beside the bar as the copy's Cancel.
    void BeginCopy(int total, const CString& firstLine);
    void ShowCopyStep(const CString& line, bool moved, int done);
    void EndCopy();
    void PlaceRecoverButton(bool copying);

    // The count line, when it has been made; set only when it changes.
    bool CountLineMade() const { return m_lblCount.IsWindow() != FALSE; }
    void ShowCountLine(const CString& line);

    bool LastSearchLinkMade() const { return m_lblLastSearch.IsWindow() != FALSE; }
    void SetLastSearchLink(const CString& text) { m_lblLastSearch.SetCaption(text); }

    // The window changed size: every control follows its edges. Its least
    // size is the template's; WM_GETMINMAXINFO keeps it there.
    void Resize(int width, int height) { m_places.Resize(width, height); }
    SIZE LeastSize() const { return m_places.LeastSize(); }
    // The window moved to a screen of this many dots per inch
    // (WM_DPICHANGED): places, least size, fonts and columns follow; the
    // controls move at the next Resize.
    void Rescale(UINT dpi);
    void LimitSize(MINMAXINFO* info) const { m_places.LimitSize(info); }

    // The keyboard starts at the drives, the first choice, unless the user
    // has moved it already.
    void FocusDrives();
    // Alt with a letter pressed: the window told of a press of the shown,
    // enabled command that letter is underlined in; false when the key is
    // no such press.
    bool PressAccessKey(const MSG& msg);
    // Whether Ctrl+A may tick the pictures shown: the list shows, its
    // choice may change, and the keyboard is not in a text box.
    bool TicksByKeyboard(const CWindowState& state) const;

    CFilterBar& Filters() { return m_filterBar; }
    HWND PictureListControl() const { return m_listPictures.m_hWnd; }

private:
    // The keyboard to this control, when it shows.
    void FocusOn(HWND control);
    // The shown, enabled command whose access key (Alt+key) this is; null
    // when none is.
    HWND AccessKeyTarget(char key) const;
    void StyleControls();
    // The drive list's label as wide as its text, Reload after it.
    void FitSelectDriveLabel(UINT screen);
    void PlaceHidden();
    void MakeResultsControls();
    void MakeFilterBar(CWnd& dialog);
    void MakeCopyControls();
    void FillArrangement();
    // The links join Tab's round, every command gets its access key, and
    // Tab goes through the controls as they are laid out.
    void MakeKeyboardReachable();
    static void SetLabelText(CLinkLabel& label, const char* text);

    HWND m_dialog = nullptr;
    CWindowPlaces m_places;
    HFONT m_font = nullptr;  // the template's font, made again for another resolution
    std::vector<DriveEntry> m_drives;

    CLinkLabel m_lblSelectAll;
    CLinkLabel m_lblLoading;
    CLinkLabel m_lblSettings;
    CLinkLabel m_lblHelp;
    CLinkLabel m_lblStatus;
    CLinkLabel m_lblProgress;
    CProgressCtrl m_progress;
    CListCtrl m_listPictures;
    CEdit m_editSaveDir;
    CLinkLabel m_lblSaveDir;
    CLinkLabel m_lblSelectDrive;
    CIconButton m_btnNext;
    CIconButton m_btnReload;
    CIconButton m_btnBrowse;
    CIconButton m_btnRecover;
    CIconButton m_btnNewSearch;
    CComboBox m_comboArrangement;
    CLinkLabel m_lblLastSearch;
    CListCtrl m_listDrives;
    CFilterBar m_filterBar;
    CLinkLabel m_lblCount;
    // The copy of the disk: check box, folder, Browse.
    CButton m_chkCopy;
    CEdit m_editCopyPlace;
    CIconButton m_btnCopyBrowse;
    CIconButton m_btnOpenCopy;
};
