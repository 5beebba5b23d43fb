#include "TaskbarProgress.h"

#include <shobjidl.h>

CTaskbarProgress::~CTaskbarProgress()
{
    if (m_list)
        m_list->Release();
    if (m_bComInitialised)
        CoUninitialize();
}

bool CTaskbarProgress::Connect()
{
    if (m_bTried)
        return m_list != nullptr;
    m_bTried = true;
    // Balanced in the destructor, whether or not the thread had COM already.
    m_bComInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ITaskbarList3* list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&list))) ||
        !list)
        return false;
    if (FAILED(list->HrInit())) {
        list->Release();
        return false;
    }
    m_list = list;
    return true;
}

void CTaskbarProgress::Show(HWND window, ULONGLONG done, ULONGLONG total)
{
    if (!window || total == 0 || !Connect())
        return;
    if (!m_bShowing)
        m_list->SetProgressState(window, TBPF_NORMAL);
    m_bShowing = true;
    m_list->SetProgressValue(window, done, total);
}

void CTaskbarProgress::Clear(HWND window)
{
    if (!m_bShowing || !m_list)
        return;
    m_bShowing = false;
    m_list->SetProgressState(window, TBPF_NOPROGRESS);
}
