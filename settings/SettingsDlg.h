// The Settings dialog: which picture formats an analysis looks for.
// The boxes are its only state; formats.ini keeps the choice between
// openings and is written only by OK.
#pragma once

#include "Framework.h"

class CSettingsDlg : public CDialog {
public:
    explicit CSettingsDlg(CWnd* pParent = nullptr);

    // Sets every box: ticked when the list holds its token, else unticked.
    void ApplyFormats(const CString& strFormats);
    // The tokens of the ticked boxes in the fixed order jpg, gif, png, bmp,
    // tif, raw, heic, avif, webp, joined by ","; empty when nothing is ticked.
    CString CollectFormats() const;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnDefault();
    BOOL OnHelpInfo(HELPINFO* info);

    DECLARE_MESSAGE_MAP()
};
