// Times the real program over a card full of photos, worked like a user:
// select C:, Next, wait for the analysed view, Recover, answer the summary
// with No. A probe thread meanwhile sends the main window WM_NULL every
// 15 ms and keeps the longest wait for an answer, apart for the analysis and
// the recovery. After the recovery the same files are copied once more with
// CopyFileA, for comparison. Prints figures; asserts nothing.
//
// Run by scripts/bench-window, which installs the engine and the program
// and passes Windows paths in QV_BENCH_PROGRAM (the program folder, with
// its settings.ini) and QV_BENCH_COPY (a folder for the plain copy), and the
// number of photos on the card in QV_BENCH_N.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "FileUtils.h"
#include "MainWindowControls.h"
#include "UiTest.h"
#include "resource.h"

using namespace uitest;

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Sends WM_NULL to a window every 15 ms from a thread of its own and keeps,
// per phase, the longest round trip and how many took over 100 ms.
class ResponseProbe {
public:
    enum Phase { kIdle, kAnalysis, kRecovery, kPhases };

    explicit ResponseProbe(HWND window) : m_window(window), m_thread([this] { Loop(); }) {}
    ~ResponseProbe()
    {
        m_stop = true;
        m_thread.join();
    }
    void SetPhase(Phase phase) { m_phase = phase; }
    double Longest(Phase phase) const { return m_longest[phase].load(); }
    int Slow(Phase phase) const { return m_slow[phase].load(); }
    int Count(Phase phase) const { return m_count[phase].load(); }

private:
    void Loop()
    {
        while (!m_stop) {
            // A wait that spans a change of phase belongs to the phase it began in.
            const Phase phase = m_phase.load();
            const double start = Now();
            DWORD_PTR result = 0;
            SendMessageTimeoutA(m_window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
            const double took = Now() - start;
            if (took > m_longest[phase].load())
                m_longest[phase] = took;
            if (took > 0.1)
                ++m_slow[phase];
            ++m_count[phase];
            Sleep(15);
        }
    }

    HWND m_window;
    std::atomic<Phase> m_phase{kIdle};
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_longest[kPhases] = {};
    std::atomic<int> m_slow[kPhases] = {};
    std::atomic<int> m_count[kPhases] = {};
    std::thread m_thread;
};

// Finds the engine (photo.exe started by the program) and notes the moment
// it ends. Started just before Next.
class EngineWatch {
public:
    explicit EngineWatch(DWORD programPid) : m_programPid(programPid), m_thread([this] { Loop(); }) {}
    ~EngineWatch()
    {
        m_stop = true;
        m_thread.join();
    }
    bool Seen() const { return m_seen.load(); }
    bool Ended() const { return m_ended.load() > 0; }
    double EndedAt() const { return m_ended.load(); }

private:
    DWORD FindEngine() const
    {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE)
            return 0;
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        DWORD found = 0;
        for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
            if (entry.th32ParentProcessID == m_programPid && lstrcmpiA(entry.szExeFile, "photo.exe") == 0)
                found = entry.th32ProcessID;
        }
        CloseHandle(snapshot);
        return found;
    }

    void Loop()
    {
        HANDLE engine = nullptr;
        while (!m_stop && !engine) {
            if (DWORD pid = FindEngine())
                engine = OpenProcess(SYNCHRONIZE, FALSE, pid);
            else
                Sleep(5);
        }
        if (!engine)
            return;
        m_seen = true;
        while (!m_stop) {
            if (WaitForSingleObject(engine, 50) == WAIT_OBJECT_0) {
                m_ended = Now();
                break;
            }
        }
        CloseHandle(engine);
    }

    DWORD m_programPid;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_seen{false};
    std::atomic<double> m_ended{0};
    std::thread m_thread;
};

// A message box of the program, or nullptr.
HWND ProgramBox(DWORD pid)
{
    return FindTopWindow(pid, [](HWND hwnd) {
        char cls[32] = {};
        GetClassNameA(hwnd, cls, sizeof cls);
        return lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd) && GetDlgItem(hwnd, 0xFFFF) &&
               !GetDlgItem(hwnd, IDC_DRIVE_LIST);
    });
}

HWND ProgramMainWindow(DWORD pid)
{
    return FindTopWindow(pid, [](HWND hwnd) { return GetDlgItem(hwnd, IDC_DRIVE_LIST) && Text(hwnd) == "Quorvane"; });
}

bool IsPictureName(const std::string& name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
    for (const char* known : {"jpg", "jpeg", "gif", "png", "bmp", "tif", "tiff"})
        if (ext == known)
            return true;
    return false;
}

// Every picture file under folder, its sub-folders included.
void CollectPictures(const std::string& folder, std::vector<std::string>& out)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectPictures(folder + "\\" + name, out);
        else if (IsPictureName(name))
            out.push_back(folder + "\\" + name);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

struct PlainCopy {
    int files = 0;
    int failed = 0;
    double megabytes = 0;
    double seconds = 0;
};

// Copies the files one by one into the folder, the way a plain file copy does.
PlainCopy CopyAll(const std::vector<std::string>& files, const std::string& folder)
{
    PlainCopy copy;
    CreateDirectoryA(folder.c_str(), nullptr);
    const double start = Now();
    for (const std::string& from : files) {
        const std::string to = folder + "\\" + from.substr(from.rfind('\\') + 1);
        if (CopyFileA(from.c_str(), to.c_str(), FALSE)) {
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (GetFileAttributesExA(to.c_str(), GetFileExInfoStandard, &data))
                copy.megabytes += (static_cast<double>(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow) / 1e6;
        } else {
            ++copy.failed;
        }
        ++copy.files;
    }
    copy.seconds = Now() - start;
    return copy;
}

int Fail(const char* what, HANDLE process)
{
    std::printf("bench-window: %s\n", what);
    std::fflush(stdout);
    if (process)
        TerminateProcess(process, 1);
    return 1;
}

}  // namespace

int main()
{
    const std::string programFolder = Env("QV_BENCH_PROGRAM");
    const std::string copyFolder = Env("QV_BENCH_COPY");
    const int photos = std::atoi(Env("QV_BENCH_N").c_str());
    if (programFolder.empty() || copyFolder.empty())
        return Fail("run through scripts/bench-window", nullptr);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string command = "\"" + programFolder + "\\quorvane.exe\"";
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, programFolder.c_str(), &startup,
                        &process))
        return Fail("the program did not start", nullptr);
    const DWORD pid = process.dwProcessId;
    HWND main = nullptr;
    if (!WaitUntil([&] { return (main = ProgramMainWindow(pid)) != nullptr; }, 60000) ||
        !WaitUntil([&] { return IsWindowVisible(GetDlgItem(main, IDC_NEXT)) != FALSE; }, 30000))
        return Fail("no main window with Next", process.hProcess);

    // The first row is C:, mapped to the card image.
    HWND drives = GetDlgItem(main, IDC_DRIVE_LIST);
    PostMessageA(drives, WM_KEYDOWN, VK_HOME, 0);
    if (!WaitUntil([&] {
            return SendMessageA(drives, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) == 0;
        }))
        return Fail("C: could not be selected", process.hProcess);

    ResponseProbe probe(main);
    double analysed = 0;
    double next = 0;
    {
        EngineWatch engine(pid);
        probe.SetPhase(ResponseProbe::kAnalysis);
        next = Now();
        PostCommand(main, IDC_NEXT);
        // The old window takes about half a second a photo; give it twice that.
        const DWORD limit = 600000 + static_cast<DWORD>(std::max(photos, 0)) * 1000;
        // The pictures listed when the engine's end is first seen: the rest
        // are the thumbnails made after it.
        int listedAtEnd = -1;
        const bool done = WaitUntil([&] {
            if (listedAtEnd < 0 && engine.Ended())
                listedAtEnd = static_cast<int>(SendMessageA(GetDlgItem(main, IDC_PICTURE_LIST), LVM_GETITEMCOUNT, 0, 0));
            return Text(GetDlgItem(main, IDC_STATUS)) == "Press 'Recover' to recover files detected." &&
                   Text(GetDlgItem(main, IDC_RECOVER)) == "Recover";
        }, limit);
        analysed = Now();
        probe.SetPhase(ResponseProbe::kIdle);
        if (!done)
            return Fail(("no analysed view; status: " + Text(GetDlgItem(main, IDC_STATUS))).c_str(), process.hProcess);

        // A picture of the analysed view, taken on the Linux side.
        const std::string shot = Env("QV_BENCH_SHOT");
        if (!shot.empty()) {
            WriteFileBytes(shot + ".want", "");
            WaitUntil([&] { return !Exists(shot + ".want"); }, 15000);
        }
        const int listed = static_cast<int>(SendMessageA(GetDlgItem(main, IDC_PICTURE_LIST), LVM_GETITEMCOUNT, 0, 0));
        std::printf("pictures on the card:                %d\n", photos);
        std::printf("pictures listed:                     %d\n", listed);
        if (engine.Ended()) {
            std::printf("engine (Next until photo.exe ended): %8.2f s\n", engine.EndedAt() - next);
            std::printf("engine's end until analysed view:    %8.2f s\n", analysed - engine.EndedAt());
            std::printf("Next until analysed view:            %8.2f s\n", analysed - next);
            if (listedAtEnd >= 0 && analysed > engine.EndedAt())
                std::printf("thumbnails a second after the end:   %8.1f  (%d listed then)\n",
                            (listed - listedAtEnd) / (analysed - engine.EndedAt()), listedAtEnd);
        } else {
            std::printf("engine: %s; Next until analysed view: %.2f s\n",
                        engine.Seen() ? "not ended" : "photo.exe not seen", analysed - next);
        }
        std::printf("longest answer during the analysis:  %8.3f s  (%d of %d probes over 100 ms)\n",
                    probe.Longest(ResponseProbe::kAnalysis), probe.Slow(ResponseProbe::kAnalysis),
                    probe.Count(ResponseProbe::kAnalysis));
        std::fflush(stdout);
    }

    // A filter change and a sort, chosen in the filter bar as the user does,
    // timed until the list has drawn the result; then back to everything in
    // the order found, so that Recover copies every find.
    {
        HWND bar = FilterBar(main);
        HWND list = GetDlgItem(main, IDC_PICTURE_LIST);
        // The lists by an entry of theirs, as the user knows them.
        HWND sorts = ComboWithEntry(bar, "Order found");
        HWND sides = ComboWithEntry(bar, "Pictures of any size");
        auto choose = [&](HWND combo, int entry) {
            const double start = Now();
            ChooseEntry(combo, entry);
            UpdateWindow(list);
            return Now() - start;
        };
        if (sorts && sides) {
            const double sort = choose(sorts, 4);
            const double filter = choose(sides, 2);
            const int shown = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
            const std::string shot = Env("QV_BENCH_SHOT");
            if (!shot.empty()) {
                WriteFileBytes(shot + "-filtered.want", "");
                WaitUntil([&] { return !Exists(shot + "-filtered.want"); }, 15000);
            }
            const double clearFilter = choose(sides, 0);
            const double clearSort = choose(sorts, 0);
            std::printf("sort by name (every find):           %8.3f s\n", sort);
            std::printf("filter change (hide < 200 x 200):    %8.3f s  (%d shown)\n", filter, shown);
            std::printf("filter cleared, order found again:   %8.3f s, %.3f s\n", clearFilter, clearSort);
        } else {
            std::printf("filter bar: not found\n");
        }
        std::fflush(stdout);
    }

    probe.SetPhase(ResponseProbe::kRecovery);
    const double recover = Now();
    PostCommand(main, IDC_RECOVER);
    HWND box = nullptr;
    const DWORD limit = 600000 + static_cast<DWORD>(std::max(photos, 0)) * 1000;
    if (!WaitUntil([&] { return (box = ProgramBox(pid)) != nullptr; }, limit))
        return Fail("no summary after Recover", process.hProcess);
    const double recovered = Now();
    probe.SetPhase(ResponseProbe::kIdle);
    std::string summary = Text(GetDlgItem(box, 0xFFFF));
    std::replace(summary.begin(), summary.end(), '\n', ' ');
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDNO)));

    std::vector<std::string> files;
    CollectPictures(std::string(GetAppDataFolder().GetString()) + "\\tarnwick-software\\data", files);
    const PlainCopy copy = CopyAll(files, copyFolder);
    std::printf("recover (Recover until summary):     %8.2f s  \"%s\"\n", recovered - recover, summary.c_str());
    std::printf("longest answer during the recovery:  %8.3f s  (%d of %d probes over 100 ms)\n",
                probe.Longest(ResponseProbe::kRecovery), probe.Slow(ResponseProbe::kRecovery),
                probe.Count(ResponseProbe::kRecovery));
    std::printf("plain copy (CopyFileA, work folder): %8.2f s  (%d files, %.0f MB, %d failed)\n", copy.seconds,
                copy.files, copy.megabytes, copy.failed);

    // Recover keeps the results, with New search.
    WaitUntil([&] { return IsWindowVisible(GetDlgItem(main, IDC_NEW_SEARCH)) != FALSE; }, 30000);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory))
        std::printf("program's peak memory:               %8.1f MB working set, %.1f MB committed\n",
                    memory.PeakWorkingSetSize / 1048576.0, memory.PeakPagefileUsage / 1048576.0);
    else
        std::printf("program's peak memory:               not available (error %lu)\n", GetLastError());
    std::fflush(stdout);

    // Closing asks about the finds not recovered: Yes.
    PostMessageA(main, WM_CLOSE, 0, 0);
    HWND question = nullptr;
    WaitUntil([&] {
        question = ProgramBox(pid);
        return question != nullptr || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    }, 5000);
    if (question)
        PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(question, IDYES)));
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return 0;
}
