// hold_file <path> <ready event> <quit event>: opens <path> with no sharing,
// signals <ready event>, and keeps the file open until <quit event> is set.
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    HANDLE hFile = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return 1;
    HANDLE hReady = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE hQuit = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
    if (!hReady || !hQuit)
        return 3;
    SetEvent(hReady);
    WaitForSingleObject(hQuit, 60000);
    CloseHandle(hFile);
    return 0;
}
