#include "SettingsDlg.h"

#include "HelpFile.h"
#include "SettingsFiles.h"
#include "resource.h"

namespace {

struct FormatBox {
    int nID;
    const char* pszToken;
};

// Box order is also the order of the tokens in a stored list.
const FormatBox kFormatBoxes[] = {
    {IDC_FORMAT_JPG, "jpg"},
    {IDC_FORMAT_GIF, "gif"},
    {IDC_FORMAT_PNG, "png"},
    {IDC_FORMAT_BMP, "bmp"},
    {IDC_FORMAT_TIF, "tif"},
};

const char kAllFormats[] = "jpg,gif,png,bmp,tif";

}  // namespace

BEGIN_MESSAGE_MAP(CSettingsDlg, CDialog)
    ON_BN_CLICKED(IDC_DEFAULT, &CSettingsDlg::OnDefault)
    ON_WM_HELPINFO()
END_MESSAGE_MAP()

CSettingsDlg::CSettingsDlg(CWnd* pParent) : CDialog(IDD_SETTINGS, pParent) {}

BOOL CSettingsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // The dialog shows all five ticked while nothing is stored, although an
    // engine run then leaves TIFF out: the two defaults differ on purpose.
    ApplyFormats(ReadSetting(g_strFormatsFile, "formats=", kAllFormats));
    return TRUE;
}

void CSettingsDlg::ApplyFormats(const CString& strFormats)
{
    for (const FormatBox& box : kFormatBoxes)
        CheckDlgButton(box.nID, IsFormatEnabled(strFormats, box.pszToken) ? BST_CHECKED : BST_UNCHECKED);
}

CString CSettingsDlg::CollectFormats() const
{
    CString strFormats;
    for (const FormatBox& box : kFormatBoxes) {
        if (IsDlgButtonChecked(box.nID) == BST_UNCHECKED)
            continue;
        if (!strFormats.IsEmpty())
            strFormats += ",";
        strFormats += box.pszToken;
    }
    return strFormats;
}

void CSettingsDlg::OnDefault()
{
    ApplyFormats(kAllFormats);
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
    WriteSetting(g_strFormatsFile, "formats=%s\n", CollectFormats());
    CDialog::OnOK();
}
