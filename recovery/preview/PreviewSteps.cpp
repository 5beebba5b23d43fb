// The preview's steps through the host's list, in the order the list shows
// its pictures: the buttons, the keys, the tick and what is shown of where
// the picture stands among them.
#include "PicturePreview.h"

#include <algorithm>

#include "PictureDescription.h"
#include "PictureSource.h"
#include "PreviewText.h"

namespace {

const char kCaptionPrefix[] = "Preview - ";

}  // namespace

void CPicturePreview::ShowItem(int item)
{
    m_item = item;
    const int position = m_host->PositionOf(item);
    if (position >= 0)
        m_lastPosition = position;
    // The camera's small copy comes from the first bytes at once; the full
    // picture follows from the worker.
    PreviewImage thumb;
    thumb.picture = CPictureSource(m_host->PicturePath(item)).SmallCopy();
    thumb.showing = thumb.picture ? Showing::Thumbnail : Showing::Loading;
    SetShown(std::move(thumb));
    RequestDecode();
    Refresh();
}

void CPicturePreview::Refresh()
{
    if (m_item < 0 || !m_host)
        return;
    const int count = m_host->ShownCount();
    const int position = m_host->PositionOf(m_item);
    if (position >= 0)
        m_lastPosition = position;

    // The host calls this on every change of its list, many times a second
    // during a search: only what changed is set, so nothing flickers.
    SetText(m_hWnd, CString(kCaptionPrefix) + m_host->PictureTitle(m_item));
    const bool detailsChanged = SetText(Control(IDC_PREVIEW_DETAILS), m_host->PictureDetails(m_item));
    CString where;
    if (position >= 0)
        where = GroupedNumber(static_cast<uint64_t>(position + 1)) + " of " + GroupedNumber(static_cast<uint64_t>(count));
    else
        where = CString("Not in the list now (") + GroupedNumber(static_cast<uint64_t>(count)) + " shown)";
    SetText(Control(IDC_PREVIEW_POSITION), where);
    ::SendMessageA(Control(IDC_PREVIEW_TICK), BM_SETCHECK, m_host->IsTicked(m_item) ? BST_CHECKED : BST_UNCHECKED, 0);

    HWND previous = Control(IDC_PREVIEW_PREVIOUS);
    HWND next = Control(IDC_PREVIEW_NEXT);
    const bool canPrevious = Target(-1) >= 0;
    const bool canNext = Target(+1) >= 0;
    // A disabled button cannot keep the focus; hand it to its neighbour.
    HWND focus = ::GetFocus();
    if ((focus == previous && !canPrevious) || (focus == next && !canNext)) {
        HWND other = focus == previous ? next : previous;
        const bool otherOn = focus == previous ? canNext : canPrevious;
        ::SetFocus(otherOn ? other : Control(IDC_PREVIEW_CLOSE));
    }
    ::EnableWindow(previous, canPrevious);
    ::EnableWindow(next, canNext);
    // The tick box goes under the details, as tall as they are now.
    if (detailsChanged)
        Layout();
}

int CPicturePreview::Target(int direction)
{
    if (!m_host || m_item < 0)
        return -1;
    const int count = m_host->ShownCount();
    const int position = m_host->PositionOf(m_item);
    int target;
    if (position >= 0) {
        m_lastPosition = position;
        target = position + direction;
    } else {
        // Filtered out: the one after it has moved up into its place.
        const int place = std::min(std::max(m_lastPosition, 0), count);
        target = direction > 0 ? place : place - 1;
    }
    return target >= 0 && target < count ? target : -1;
}

bool CPicturePreview::Step(int direction)
{
    const int target = Target(direction);
    if (target < 0)
        return false;
    const int item = m_host->ItemAt(target);
    if (item < 0)
        return false;
    ShowItem(item);
    m_host->OnPreviewStep(item);
    return true;
}

bool CPicturePreview::StepToEnd(bool last)
{
    if (!m_host || m_item < 0)
        return false;
    const int count = m_host->ShownCount();
    if (count <= 0)
        return false;
    const int item = m_host->ItemAt(last ? count - 1 : 0);
    if (item < 0 || item == m_item)
        return false;
    ShowItem(item);
    m_host->OnPreviewStep(item);
    return true;
}

void CPicturePreview::ToggleTick()
{
    if (!m_host || m_item < 0)
        return;
    const bool ticked = !m_host->IsTicked(m_item);
    m_host->SetTicked(m_item, ticked);
    ::SendMessageA(Control(IDC_PREVIEW_TICK), BM_SETCHECK, m_host->IsTicked(m_item) ? BST_CHECKED : BST_UNCHECKED, 0);
}

BOOL CPicturePreview::PreTranslateMessage(MSG* pMsg)
{
    if (!m_hWnd || (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd)))
        return FALSE;
    const bool modified = (::GetKeyState(VK_CONTROL) & 0x8000) || (::GetKeyState(VK_MENU) & 0x8000);
    if (pMsg->message == WM_KEYDOWN && !modified) {
        switch (pMsg->wParam) {
        case VK_LEFT:
            Step(-1);
            return TRUE;
        case VK_RIGHT:
            Step(+1);
            return TRUE;
        case VK_HOME:
            StepToEnd(false);
            return TRUE;
        case VK_END:
            StepToEnd(true);
            return TRUE;
        case VK_SPACE:
            // Whichever control has the focus: the tick is what Space is for here.
            ToggleTick();
            return TRUE;
        case VK_ESCAPE:
            Close();
            return TRUE;
        default:
            break;
        }
    }
    // Tab, Enter on a button and the rest of dialog navigation.
    return ::IsDialogMessageA(m_hWnd, pMsg);
}

void CPicturePreview::OnPrevious()
{
    Step(-1);
}

void CPicturePreview::OnNext()
{
    Step(+1);
}

void CPicturePreview::OnTick()
{
    if (!m_host || m_item < 0)
        return;
    const bool ticked = ::SendMessageA(Control(IDC_PREVIEW_TICK), BM_GETCHECK, 0, 0) == BST_CHECKED;
    m_host->SetTicked(m_item, ticked);
}
