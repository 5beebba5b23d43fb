#include "Layout.h"

#include <algorithm>

#include "Dpi.h"

void CLayout::Init(HWND parent)
{
    RECT client = {0, 0, 0, 0};
    if (parent)
        ::GetClientRect(parent, &client);
    Init(parent, client.right, client.bottom);
}

void CLayout::Init(HWND parent, int width, int height)
{
    m_parent = parent;
    m_reference = {width, height};
    m_size = m_reference;
    m_items.clear();
}

const CLayout::Item* CLayout::Find(HWND child) const
{
    for (const Item& item : m_items) {
        if (item.child == child)
            return &item;
    }
    return nullptr;
}

bool CLayout::Has(HWND child) const
{
    return Find(child) != nullptr;
}

void CLayout::Add(HWND child, const RECT& place, UINT anchors, BOOL repaint)
{
    if (!child)
        return;
    const Item added = {child, place, anchors};
    bool known = false;
    for (Item& item : m_items) {
        if (item.child == child) {
            item = added;
            known = true;
        }
    }
    if (!known)
        m_items.push_back(added);
    Move(added, repaint);
}

void CLayout::Add(HWND child, UINT anchors)
{
    if (!child || !m_parent)
        return;
    RECT rc;
    ::GetWindowRect(child, &rc);
    ::MapWindowPoints(nullptr, m_parent, reinterpret_cast<POINT*>(&rc), 2);
    // Where it is now is its place at the size now: back to the reference.
    const int dx = m_size.cx - m_reference.cx, dy = m_size.cy - m_reference.cy;
    if (anchors & anchor::MoveX)
        ::OffsetRect(&rc, -dx, 0);
    else if (anchors & anchor::SizeX)
        rc.right -= dx;
    if (anchors & anchor::MoveY)
        ::OffsetRect(&rc, 0, -dy);
    else if (anchors & anchor::SizeY)
        rc.bottom -= dy;
    Add(child, rc, anchors, FALSE);
}

RECT CLayout::Follow(const RECT& place, UINT anchors) const
{
    const int dx = m_size.cx - m_reference.cx, dy = m_size.cy - m_reference.cy;
    RECT rc = place;
    if (anchors & anchor::MoveX)
        ::OffsetRect(&rc, dx, 0);
    else if (anchors & anchor::SizeX)
        rc.right = rc.left + std::max<LONG>(0, rc.right - rc.left + dx);
    if (anchors & anchor::MoveY)
        ::OffsetRect(&rc, 0, dy);
    else if (anchors & anchor::SizeY)
        rc.bottom = rc.top + std::max<LONG>(0, rc.bottom - rc.top + dy);
    return rc;
}

RECT CLayout::Place(HWND child) const
{
    const Item* item = Find(child);
    if (!item)
        return RECT{0, 0, 0, 0};
    return Follow(item->place, item->anchors);
}

void CLayout::Move(const Item& item, BOOL repaint) const
{
    const RECT rc = Follow(item.place, item.anchors);
    ::MoveWindow(item.child, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, repaint);
}

void CLayout::Resize(int width, int height)
{
    if (width == m_size.cx && height == m_size.cy)
        return;
    m_size = {width, height};
    // One move for all, so that none is drawn half placed; one at a time
    // should Windows have no room for that (a failed step drops the batch).
    HDWP defer = ::BeginDeferWindowPos(static_cast<int>(m_items.size()));
    for (const Item& item : m_items) {
        if (!defer)
            break;
        if (!::IsWindow(item.child))
            continue;
        const RECT rc = Follow(item.place, item.anchors);
        defer = ::DeferWindowPos(defer, item.child, nullptr, rc.left, rc.top, rc.right - rc.left,
                                 rc.bottom - rc.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (defer && ::EndDeferWindowPos(defer))
        return;
    for (const Item& item : m_items) {
        if (::IsWindow(item.child))
            Move(item, TRUE);
    }
}

RECT CRow::Next(int width, int height, int gapAfter, int dy)
{
    const RECT rc = {m_x, m_top + dy, m_x + width, m_top + dy + height};
    m_x += width + gapAfter;
    return rc;
}

void CLayout::Rescale(UINT from, UINT to)
{
    if (!from || !to || from == to)
        return;
    m_reference = {dpi::Rescale(m_reference.cx, from, to), dpi::Rescale(m_reference.cy, from, to)};
    m_size = {dpi::Rescale(m_size.cx, from, to), dpi::Rescale(m_size.cy, from, to)};
    for (Item& item : m_items)
        item.place = dpi::Rescale(item.place, from, to);
}
