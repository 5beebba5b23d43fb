// What the intake hands the window: new finds go into the picture list,
// and a record that comes for a find listed already may change its place
// in the list and whether it is shown.
#include "RecoveryDlg.h"

namespace {

void ApplyRecord(CPictureItems& pictures, int item, const FindRecord& record)
{
    if (record.found)
        pictures.SetDamaged(item, record.decodes);
    else
        pictures.SetRecord(item, record.folder, record.deleted, record.damaged, record.decodes);
}

}  // namespace

int CRecoveryDlg::AddFind(const NewFind& find)
{
    // The control learns of the new item from ShowPictureCount, once for
    // all the items of a tick.
    m_pictures.Add(find.path, find.pixels, find.details, find.decodes);
    const int item = m_pictures.Count() - 1;
    if (find.record)
        ApplyRecord(m_pictures, item, *find.record);
    const int position = m_view.Add(m_pictures, item);
    if (position >= 0 && position != m_view.Count() - 1)
        m_bListReordered = true;
    return item;
}

void CRecoveryDlg::UpdateFind(int item, const FindRecord& record)
{
    const int before = m_view.PositionOf(item);
    ApplyRecord(m_pictures, item, record);
    m_view.Update(m_pictures, item);
    if (m_view.PositionOf(item) != before)
        m_bListReordered = true;
}

void CRecoveryDlg::FindsOutOfStep()
{
    MessageBox("Photo items count error", nullptr, MB_OK);
}

void CRecoveryDlg::ReadFindRecords()
{
    m_intake.ReadRecords(*this);
    // Between intakes nobody else tells the list.
    if (m_bListReordered && !m_bIntakeArmed)
        ShowPictureCount();
}
