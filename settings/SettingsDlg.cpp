#include "SettingsDlg.h"

#include "HelpFile.h"
#include "SettingsFiles.h"
#include "resource.h"

namespace {

// One box for each format, in the order of the tokens in a stored list.
const int kFormatBoxes[kFormatTokenCount] = {
    IDC_FORMAT_JPG, IDC_FORMAT_GIF,  IDC_FORMAT_PNG,  IDC_FORMAT_BMP,  IDC_FORMAT_TIF,
    IDC_FORMAT_RAW, IDC_FORMAT_HEIC, IDC_FORMAT_AVIF, IDC_FORMAT_WEBP,
};

}  // namespace

BEGIN_MESSAGE_MAP(CSettingsDlg, CDialog)
    ON_BN_CLICKED(IDC_DEFAULT, &CSettingsDlg::OnDefault)
    ON_WM_HELPINFO()
END_MESSAGE_MAP()

CSettingsDlg::CSettingsDlg(CWnd* pParent) : CDialog(IDD_SETTINGS, pParent) {}

BOOL CSettingsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // The boxes show what the next search looks for, whatever wrote the file.
    ApplyFormats(ReadEngineFormats());
    return TRUE;
}

void CSettingsDlg::ApplyFormats(const CString& strFormats)
{
    for (int i = 0; i < kFormatTokenCount; ++i)
        CheckDlgButton(kFormatBoxes[i], IsFormatEnabled(strFormats, g_formatTokens[i]) ? BST_CHECKED : BST_UNCHECKED);
}

CString CSettingsDlg::CollectFormats() const
{
    CString strFormats;
    for (int i = 0; i < kFormatTokenCount; ++i) {
        if (IsDlgButtonChecked(kFormatBoxes[i]) == BST_UNCHECKED)
            continue;
        if (!strFormats.IsEmpty())
            strFormats += ",";
        strFormats += g_formatTokens[i];
    }
    return strFormats;
}

void CSettingsDlg::OnDefault()
{
    ApplyFormats(g_strAllFormats);
}

BOOL CSettingsDlg::OnHelpInfo(HELPINFO* info)
{
    (void)info;
    OpenHelpFile(*this);
    return TRUE;
}

void CSettingsDlg::OnOK()
{
    // An empty list is stored as it is: the next analysis refuses to start
    // and says why.
    WriteFormats(CollectFormats());
    CDialog::OnOK();
}
