#include "MainWindowControls.h"

#include <string>
#include <vector>

#include "UiTest.h"

namespace uitest {

namespace {

// The text lines with nothing inside them, in the order of the controls.
std::vector<HWND> PlainStatics(HWND main)
{
    std::vector<HWND> plain;
    for (HWND child : ChildrenOfClass(main, "Static")) {
        if (!GetWindow(child, GW_CHILD))
            plain.push_back(child);
    }
    return plain;
}

}  // namespace

HWND FilterBar(HWND main)
{
    for (HWND child : ChildrenOfClass(main, "Static")) {
        if (FindWindowExA(child, nullptr, "ComboBox", nullptr))
            return child;
    }
    return nullptr;
}

HWND CountLine(HWND main)
{
    const std::vector<HWND> plain = PlainStatics(main);
    return plain.empty() ? nullptr : plain.back();
}

HWND SearchLine(HWND main)
{
    const std::vector<HWND> plain = PlainStatics(main);
    return plain.size() < 2 ? nullptr : plain[plain.size() - 2];
}

HWND ArrangementBox(HWND main)
{
    return ComboWithEntry(main, "By date taken");
}

HWND CopyCheck(HWND main)
{
    return ChildWithText(main, "Button", "Save a copy of the disk");
}

HWND CopyPlace(HWND main)
{
    return NthChild(main, "Edit", 1);
}

HWND CopyBrowse(HWND main)
{
    HWND last = nullptr;
    int seen = 0;
    for (HWND button : ChildrenOfClass(main, "Button")) {
        if (Text(button) == "Browse" && ++seen == 2)
            last = button;
    }
    return last;
}

HWND OpenCopy(HWND main)
{
    return ChildWithText(main, "Button", "Open a copy");
}

}  // namespace uitest
