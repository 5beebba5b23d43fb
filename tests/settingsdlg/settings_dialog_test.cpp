// The Settings dialog under Wine: boxes from formats.ini, Default, Cancel,
// OK, and what an empty list does to the next analysis.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "FileUtils.h"
#include "SettingsDlg.h"
#include "UiTest.h"
#include "resource.h"

using namespace uitest;

namespace {

// The formats' tick boxes by their texts, in the order of the tokens.
const char* const kBoxes[] = {".jpg", ".gif", ".png", ".bmp", ".tif", "Camera RAW", ".heic", ".avif", ".webp"};
const char* const kTokens[] = {"jpg", "gif", "png", "bmp", "tif", "raw", "heic", "avif", "webp"};
const char kAllTicked[] = "jpg gif png bmp tif raw heic avif webp";

std::string FormatsFile()
{
    return std::string(GetModuleFolder().GetString()) + "formats.ini";
}

struct FindArgs {
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM param)
{
    auto* args = reinterpret_cast<FindArgs*>(param);
    if (Text(hwnd) == args->caption && IsWindowVisible(hwnd)) {
        args->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The helpers' finder skips windows with static items of id -1, which this
// dialog has; look by caption on the dialog's thread instead.
HWND WaitForDialog(DWORD threadId, const char* caption)
{
    FindArgs args{caption, nullptr};
    WaitUntil([&] {
        EnumThreadWindows(threadId, FindDialog, reinterpret_cast<LPARAM>(&args));
        return args.found != nullptr;
    }, 10000);
    return args.found;
}

// A Settings dialog run modally on its own thread for one test.
class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteFileA(FormatsFile().c_str()); }
    void TearDown() override
    {
        if (m_ui && !m_ui->Finished() && m_dlg)
            PostMessageA(m_dlg, WM_COMMAND, IDCANCEL, 0);
        m_ui.reset();
        DeleteFileA(FormatsFile().c_str());
    }

    void Open()
    {
        m_result = -100;
        m_ui.reset(new UiThread([this] {
            CSettingsDlg dlg(nullptr);
            m_result = dlg.DoModal();
        }));
        m_dlg = WaitForDialog(m_ui->ThreadId(), "Settings");
        ASSERT_NE(m_dlg, nullptr);
    }

    // Which boxes are ticked, as "jpg gif ..." in box order.
    std::string Ticked()
    {
        std::string ticked;
        for (size_t i = 0; i < 9; ++i) {
            if (SendMessageA(Box(kBoxes[i]), BM_GETCHECK, 0, 0) == BST_CHECKED)
                ticked += std::string(ticked.empty() ? "" : " ") + kTokens[i];
        }
        return ticked;
    }

    // The tick box of this text (the group's frame is a button too).
    HWND Box(const char* text)
    {
        for (HWND child = GetWindow(m_dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if ((GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX && Text(child) == text)
                return child;
        }
        return nullptr;
    }
    void Click(int id) { SendMessageA(Item(m_dlg, id), BM_CLICK, 0, 0); }
    void Click(const char* text) { SendMessageA(Box(text), BM_CLICK, 0, 0); }

    INT_PTR Close(int id)
    {
        PostCommand(m_dlg, id);
        EXPECT_TRUE(m_ui->WaitFinished());
        m_ui.reset();
        return m_result;
    }

    std::unique_ptr<UiThread> m_ui;
    HWND m_dlg = nullptr;
    std::atomic<INT_PTR> m_result{-100};
};

TEST_F(SettingsDialogTest, TemplateHasTheSpecifiedControlsAndTabStops)
{
    Open();
    struct Expect {
        int id;  // 0: one of the later formats' boxes, found by its text
        const char* text;
        bool tabStop;
    };
    const Expect expected[] = {
        {IDC_DEFAULT, "Default", true}, {IDC_FORMAT_JPG, ".jpg", true}, {IDC_FORMAT_GIF, ".gif", true},
        {IDC_FORMAT_PNG, ".png", true}, {IDC_FORMAT_BMP, ".bmp", true}, {IDC_FORMAT_TIF, ".tif", true},
        {0, "Camera RAW", true},        {0, ".heic", true},             {0, ".avif", true},
        {0, ".webp", true},             {IDOK, "OK", true},             {IDCANCEL, "Cancel", true},
    };
    for (const Expect& e : expected) {
        HWND item = e.id ? Item(m_dlg, e.id) : Box(e.text);
        ASSERT_NE(item, nullptr) << e.text;
        EXPECT_EQ(Text(item), e.text);
        EXPECT_EQ((GetWindowLongA(item, GWL_STYLE) & WS_TABSTOP) != 0, e.tabStop) << e.text;
    }
    EXPECT_EQ(GetWindowLongA(Item(m_dlg, IDOK), GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
    Close(IDCANCEL);
}

TEST_F(SettingsDialogTest, BoxesFollowTheStoredList)
{
    WriteFileBytes(FormatsFile(), "formats=gif,tif\r\nversion=2\r\n");
    Open();
    EXPECT_EQ(Ticked(), "gif tif");
    Close(IDCANCEL);

    // Upper case does not count, a longer word holding a token does; an
    // unknown token is ignored.
    WriteFileBytes(FormatsFile(), "formats=JPG,tiff,webp,nef\r\nversion=2\r\n");
    Open();
    EXPECT_EQ(Ticked(), "tif webp");
    Close(IDCANCEL);

    WriteFileBytes(FormatsFile(), "formats=\r\n");
    Open();
    EXPECT_EQ(Ticked(), "");
    Close(IDCANCEL);

    // A list an older version stored shows the later formats ticked too:
    // that is what the next search looks for.
    WriteFileBytes(FormatsFile(), "formats=gif,tif\r\n");
    Open();
    EXPECT_EQ(Ticked(), "gif tif raw heic avif webp");
    Close(IDCANCEL);
}

TEST_F(SettingsDialogTest, EveryBoxIsReachedWithTabAndTickedWithSpace)
{
    WriteFileBytes(FormatsFile(), "formats=\r\nversion=2\r\n");
    Open();
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    auto focus = [&]() -> HWND {
        return GetGUIThreadInfo(m_ui->ThreadId(), &info) ? info.hwndFocus : nullptr;
    };
    ASSERT_TRUE(WaitUntil([&] { return focus() == Item(m_dlg, IDC_DEFAULT); }, 5000));
    for (size_t i = 0; i < 9; ++i) {
        PressKey(m_dlg, VK_TAB);
        ASSERT_TRUE(WaitUntil([&] { return focus() == Box(kBoxes[i]); }, 5000)) << kTokens[i];
        if (i % 2 == 0) {
            PressKey(m_dlg, VK_SPACE);
            ASSERT_TRUE(WaitUntil([&] {
                return SendMessageA(Box(kBoxes[i]), BM_GETCHECK, 0, 0) == BST_CHECKED;
            }, 5000)) << kTokens[i];
        }
    }
    PressKey(m_dlg, VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return focus() == Item(m_dlg, IDOK); }, 5000));
    EXPECT_EQ(Close(IDOK), IDOK);
    EXPECT_EQ(ReadFileBytes(FormatsFile()), "formats=jpg,png,tif,heic,webp\r\nversion=2\r\n");
}

TEST_F(SettingsDialogTest, NothingStoredShowsAllAndCancelWritesNothing)
{
    Open();
    EXPECT_EQ(Ticked(), kAllTicked);
    Click(IDC_FORMAT_GIF);
    EXPECT_EQ(Close(IDCANCEL), IDCANCEL);
    EXPECT_FALSE(Exists(FormatsFile()));

    // Escape is Cancel too.
    Open();
    Click(IDC_FORMAT_JPG);
    PostMessageA(m_dlg, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(m_ui->WaitFinished());
    m_ui.reset();
    EXPECT_FALSE(Exists(FormatsFile()));
}

TEST_F(SettingsDialogTest, DefaultTicksAllButStoresOnlyOnOk)
{
    WriteFileBytes(FormatsFile(), "formats=png\r\nversion=2\r\n");
    Open();
    EXPECT_EQ(Ticked(), "png");
    Click(IDC_FORMAT_PNG);
    EXPECT_EQ(Ticked(), "");
    Click(IDC_DEFAULT);
    EXPECT_EQ(Ticked(), kAllTicked);
    Close(IDCANCEL);
    EXPECT_EQ(ReadFileBytes(FormatsFile()), "formats=png\r\nversion=2\r\n");

    Open();
    Click(IDC_DEFAULT);
    EXPECT_EQ(Close(IDOK), IDOK);
    EXPECT_EQ(ReadFileBytes(FormatsFile()), "formats=jpg,gif,png,bmp,tif,raw,heic,avif,webp\r\nversion=2\r\n");
}

TEST_F(SettingsDialogTest, OkWritesTheTickedTokensInFixedOrder)
{
    // The file held other lines before: OK replaces it whole.
    WriteFileBytes(FormatsFile(), "savedir=x\r\nformats=bmp\r\nversion=2\r\n");
    Open();
    Click(".webp");
    Click(IDC_FORMAT_BMP);
    Click(IDC_FORMAT_PNG);
    Click("Camera RAW");
    Click(IDC_FORMAT_JPG);
    EXPECT_EQ(Ticked(), "jpg png raw webp");
    EXPECT_EQ(Close(IDOK), IDOK);
    EXPECT_EQ(ReadFileBytes(FormatsFile()), "formats=jpg,png,raw,webp\r\nversion=2\r\n");

    // Enter on the default button is OK.
    Open();
    Click(IDC_FORMAT_JPG);
    Click(IDC_FORMAT_PNG);
    Click("Camera RAW");
    Click(".webp");
    EXPECT_EQ(Ticked(), "");
    PostMessageA(Item(m_dlg, IDOK), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(m_ui->WaitFinished());
    m_ui.reset();
    EXPECT_EQ(m_result.load(), IDOK);
    EXPECT_EQ(ReadFileBytes(FormatsFile()), "formats=\r\nversion=2\r\n");

    Open();
    EXPECT_EQ(Ticked(), "");
    Close(IDCANCEL);
}

// F1 in the dialog opens the program's help; the test program has no help
// file beside it, so the dialog says so over itself and stays open.
TEST_F(SettingsDialogTest, F1OpensHelp)
{
    DeleteFileA((GetModuleFolder() + "help.chm").GetString());
    MessageBoxWatcher boxes;
    Open();
    PressKey(m_dlg, VK_F1);
    ASSERT_TRUE(boxes.WaitForCount(1));
    EXPECT_EQ(boxes.Seen()[0].caption, "Quorvane");
    EXPECT_EQ(boxes.Seen()[0].text, "Help file is not found.");
    EXPECT_EQ(boxes.Seen()[0].buttons, static_cast<UINT>(MB_OK));
    Pump(300);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_FALSE(m_ui->Finished());
    EXPECT_EQ(Close(IDCANCEL), IDCANCEL);
}

}  // namespace
