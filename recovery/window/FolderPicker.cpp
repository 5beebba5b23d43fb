#include "FolderPicker.h"

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

namespace {

// BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE
const UINT kBrowseFlags = 0x59;

std::wstring Wide(const CString& text)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

// A path the program's ANSI calls can use: false for one that the code page
// cannot spell.
bool Narrow(const wchar_t* wide, CString& text)
{
    char buffer[MAX_PATH] = {};
    BOOL lossy = FALSE;
    if (!WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, sizeof(buffer), nullptr, &lossy) || lossy)
        return false;
    text = buffer;
    return true;
}

enum class Picked { Chosen, Cancelled, Unavailable };

Picked PickWithFileDialog(HWND owner, const CString& start, CString& path)
{
    IFileOpenDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
        return Picked::Unavailable;
    Picked result = Picked::Unavailable;
    FILEOPENDIALOGOPTIONS options = 0;
    if (SUCCEEDED(dialog->GetOptions(&options)) &&
        SUCCEEDED(dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST))) {
        // Opened at the save folder while it is there.
        IShellItem* folder = nullptr;
        if (!start.IsEmpty() &&
            SUCCEEDED(SHCreateItemFromParsingName(Wide(start).c_str(), nullptr, IID_PPV_ARGS(&folder)))) {
            dialog->SetFolder(folder);
            folder->Release();
        }
        const HRESULT shown = dialog->Show(owner);
        IShellItem* chosen = nullptr;
        if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
            result = Picked::Cancelled;
        } else if (SUCCEEDED(shown) && SUCCEEDED(dialog->GetResult(&chosen))) {
            PWSTR name = nullptr;
            result = Picked::Cancelled;
            if (SUCCEEDED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &name))) {
                if (Narrow(name, path))
                    result = Picked::Chosen;
                CoTaskMemFree(name);
            }
            chosen->Release();
        }
    }
    dialog->Release();
    return result;
}

int CALLBACK SelectStart(HWND window, UINT message, LPARAM, LPARAM start)
{
    if (message == BFFM_INITIALIZED && start)
        SendMessageA(window, BFFM_SETSELECTIONA, TRUE, start);
    return 0;
}

bool PickWithFolderTree(HWND owner, const CString& start, CString& path)
{
    char displayName[MAX_PATH] = {};
    BROWSEINFOA info = {};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = "";
    info.ulFlags = kBrowseFlags;
    info.lpfn = SelectStart;
    info.lParam = reinterpret_cast<LPARAM>(start.GetString());

    bool picked = false;
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderA(&info);
    if (pidl) {
        char folder[MAX_PATH] = {};
        if (SHGetPathFromIDListA(pidl, folder)) {
            path = folder;
            picked = true;
        }
        CoTaskMemFree(pidl);
    }
    return picked;
}

}  // namespace

bool PickFolderFrom(HWND owner, const CString& start, CString& path)
{
    // Balance our own initialisation whether or not the thread had one already.
    const HRESULT comInit = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool picked = false;
    switch (PickWithFileDialog(owner, start, path)) {
    case Picked::Chosen:
        picked = true;
        break;
    case Picked::Cancelled:
        break;
    case Picked::Unavailable:
        picked = PickWithFolderTree(owner, start, path);
        break;
    }
    if (SUCCEEDED(comInit))
        CoUninitialize();
    return picked;
}

bool PickDiskCopyFrom(HWND owner, const CString& start, CString& path)
{
    char file[MAX_PATH] = {};
    OPENFILENAMEA open = {};
    open.lStructSize = sizeof open;
    open.hwndOwner = owner;
    open.lpstrFilter = "Copies of a disk (*.img)\0*.img\0";
    open.lpstrFile = file;
    open.nMaxFile = sizeof file;
    open.lpstrInitialDir = start.IsEmpty() ? nullptr : start.GetString();
    open.lpstrTitle = "Open a saved copy of a disk";
    open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameA(&open))
        return false;
    path = file;
    return true;
}
