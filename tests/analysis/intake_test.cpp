// The intake at scale: thumbnails made by workers that finish out of order,
// a cancel in the middle of a large intake, and a close while the workers
// are busy.
#include "AnalysisHarness.h"

#include <set>

using namespace analysis;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

// Threads of this process.
int ThreadCount()
{
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// Handles this process holds, from the system's handle table (Wine's
// GetProcessHandleCount answers 0).
DWORD HandleCount()
{
    struct Entry {
        ULONG pid;
        BYTE type;
        BYTE flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    struct Table {
        ULONG count;
        Entry entries[1];
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return 0;
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    const ULONG kSystemHandleInformation = 16;
    while (query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) != 0) {
        if (buffer.size() >= (64u << 20))
            return 0;
        buffer.resize(buffer.size() * 2);
    }
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    DWORD count = 0;
    for (ULONG i = 0; i < table->count; ++i) {
        if (table->entries[i].pid == GetCurrentProcessId())
            ++count;
    }
    return count;
}

uint32_t ColourOf(int i)
{
    static const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0x000000};
    return colours[i % 7];
}

class IntakeTest : public WindowFixture {
protected:
    void SetUp() override
    {
        SetFormats(nullptr);
        Open();
    }

    void Next()
    {
        SelectFirstDrive();
        PostCommand(m_hwnd, IDC_NEXT);
        ASSERT_TRUE(WaitUntil([&] { return Text(Ctl(IDC_RECOVER)) == "Cancel"; }));
    }

    // The names listed; each test's file names are its own.
    std::vector<std::string> ListedNames() { return ShownNames(Ctl(IDC_PICTURE_LIST)); }

    // The name of every file under the data folder, by walking it here.
    static void Walk(const std::string& folder, std::set<std::string>& files)
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
                Walk(folder + "\\" + name, files);
            else
                files.insert(name);
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }

    EngineInstall m_engine;
    MessageBoxWatcher m_boxes;
    TempFolder m_files{"intake"};
};

// A large picture first keeps one worker busy while the others finish the
// small ones after it: each item still gets its own file's thumbnail, in
// the order the files were found.
TEST_F(IntakeTest, ThumbnailsLandOnTheirOwnItemsWhenWorkersFinishOutOfOrder)
{
    ASSERT_TRUE(SavePicture(m_files.Join("big.png"), 4000, 3000, 0x808080, L"image/png"));
    std::vector<std::string> script = {"copy|" + m_files.Join("big.png") + "|big.png"};
    for (int i = 0; i < 14; ++i) {
        const std::string name = "small" + std::to_string(i) + ".png";
        ASSERT_TRUE(SavePicture(m_files.Join(name), 40, 30, ColourOf(i), L"image/png"));
        script.push_back("copy|" + m_files.Join(name) + "|" + name);
    }
    m_engine.SetScript(script);
    Next();
    ASSERT_TRUE(WaitAnalysed(60000));

    const std::vector<std::string> paths = ListedNames();
    ASSERT_EQ(paths.size(), 15u);
    const HWND list = Ctl(IDC_PICTURE_LIST);
    for (int item = 0; item < 15; ++item) {
        const std::string& path = paths[static_cast<size_t>(item)];
        const size_t at = path.rfind("small");
        const uint32_t want = at == std::string::npos ? 0x808080 : ColourOf(std::stoi(path.substr(at + 5)));
        EXPECT_TRUE(Near(ItemPixels(list, item)[32 * 64 + 32], want)) << path;
    }
}

// A cancel while hundreds of found files are still with the workers keeps
// every one of them, each listed once.
TEST_F(IntakeTest, CancelDuringALargeIntakeKeepsEveryPictureOnce)
{
    ASSERT_TRUE(SavePicture(m_files.Join("p.png"), 600, 400, 0x00FF00, L"image/png"));
    std::vector<std::string> script;
    for (int i = 0; i < 300; ++i)
        script.push_back("copy|" + m_files.Join("p.png") + "|d" + std::to_string(i / 100) + "\\f" +
                         std::to_string(i) + ".png");
    script.push_back("forever");
    m_engine.SetScript(script);
    Next();
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) >= 10; }, 30000));
    m_boxes.Answer(IDYES);
    PostCommand(m_hwnd, IDC_RECOVER);
    ASSERT_TRUE(m_boxes.WaitForCount(1));
    ASSERT_TRUE(WaitUntil([&] { return EngineProcesses() == 0; }, 10000));
    std::set<std::string> onDisk;
    // What the engine wrote (the program's own record of the search lies
    // beside it in the work folder).
    Walk(DataFolder() + "\\temp", onDisk);
    // The analysed view comes at once, and stays once the intake is over.
    ASSERT_TRUE(WaitUntil([&] {
        return Analysed() && ItemCount(Ctl(IDC_PICTURE_LIST)) >= static_cast<int>(onDisk.size());
    }, 60000));
    Pump(500);

    const std::vector<std::string> paths = ListedNames();
    const std::set<std::string> listed(paths.begin(), paths.end());
    EXPECT_EQ(listed.size(), paths.size());
    EXPECT_EQ(listed, onDisk);
    EXPECT_GE(paths.size(), 10u);
    EXPECT_EQ(m_boxes.Count(), 1u);
}

// Closing the window while the workers are busy ends them: no thread of
// the intake and no handle is left behind.
TEST_F(IntakeTest, CloseWhileWorkersAreBusyLeavesNoThreadOrHandle)
{
    ASSERT_TRUE(SavePicture(m_files.Join("big.png"), 3000, 2000, 0x0000FF, L"image/png"));
    std::vector<std::string> script;
    for (int i = 0; i < 40; ++i)
        script.push_back("copy|" + m_files.Join("big.png") + "|f" + std::to_string(i) + ".png");
    script.push_back("forever");

    // Closed once the same way first: what Wine starts once per process
    // (for the first question box, the first stopped engine) is then there.
    auto busyClose = [&] {
        m_engine.SetScript(script);
        Next();
        ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) >= 1; }, 30000));
        // The workers still have pictures to take in.
        ASSERT_LT(ItemCount(Ctl(IDC_PICTURE_LIST)), 40);
        m_boxes.Answer(IDYES);
        PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
        ASSERT_TRUE(m_ui->WaitFinished(30000));
        m_ui.reset();
        m_hwnd = nullptr;
        ASSERT_TRUE(WaitUntil([] { return EngineProcesses() == 0; }, 10000));
        Pump(300);
    };
    busyClose();
    const int threads = ThreadCount();
    const DWORD handles = HandleCount();

    Open();
    busyClose();
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_GT(handles, 0u);
    EXPECT_LE(HandleCount(), handles);
}

}  // namespace
