#include <windows.h>
#include <gtest/gtest.h>

TEST(Harness, RunsUnderWindowsApi)
{
    char buf[MAX_PATH] = {};
    EXPECT_GT(GetModuleFileNameA(nullptr, buf, MAX_PATH), 0u);
}
