#include "PictureDescription.h"

#include <windows.h>

#include <cstring>

#include "SizeFormat.h"

// The date and time as the user's settings write them.
CString LocalDateText(uint64_t localTime)
{
    FILETIME ft = {static_cast<DWORD>(localTime), static_cast<DWORD>(localTime >> 32)};
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(&ft, &st))
        return CString();
    char date[64] = "";
    char time[64] = "";
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, time, sizeof time);
    return CString(date) + " " + time;
}

namespace {

// The folder is UTF-8 from the disk's records; the window speaks the
// system's code page.
CString FromUtf8(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 1)
        return CString(text.c_str());
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], length);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, "_", nullptr);
    std::string narrow(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &narrow[0], bytes, "_", nullptr);
    return CString(narrow.c_str());
}

}  // namespace

bool LooksLikeLostFirstLetter(const std::string& name)
{
    if (name.empty() || name[0] != '_')
        return false;
    const size_t dot = name.rfind('.');
    const std::string base = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string extension = base.size() == name.size() ? std::string() : name.substr(dot);
    if (base.size() > 8 || extension.size() > 5)
        return false;
    for (char c : name.substr(1, base.size() - 1)) {
        if (c == ' ' || c == '.' || std::strchr("+,;=[]", c))
            return false;
    }
    return true;
}

CString GroupedNumber(uint64_t number)
{
    char digits[32];
    const int length = wsprintfA(digits, "%I64u", number);
    CString text;
    for (int i = 0; i < length; ++i) {
        if (i > 0 && (length - i) % 3 == 0)
            text += ",";
        text += digits[i];
    }
    return text;
}

CString DescribePicture(const CPictureItems& items, int item)
{
    if (item < 0 || item >= items.Count())
        return CString();
    CString text = items.Name(item).c_str();
    switch (items.State(item)) {
    case FindState::Deleted:
        text += "\r\nDeleted; was in " + FromUtf8(items.Folder(item));
        if (LooksLikeLostFirstLetter(items.Name(item)))
            text += "\r\nThe first letter of its name was lost when it was deleted: Recover gives it the letter "
                    "of the names beside it, where they agree, or keeps the _";
        break;
    case FindState::Present:
        text += "\r\nStill on the disk, in " + FromUtf8(items.Folder(item));
        break;
    case FindState::Found:
        text += "\r\nFound by its contents (no name or folder left on the disk)";
        break;
    }
    CString line = PictureTypeName(items.Type(item));
    // A RAW's sensor size is known from its tags even without a picture.
    if (items.Width(item) > 0 && (items.Decodes(item) || DrawsCarriedPicturesOnly(items.Type(item)))) {
        CString size;
        size.Format(", %u x %u pixels", items.Width(item), items.Height(item));
        line += size;
    }
    line += ", " + FormatSize(static_cast<long long>(items.Bytes(item))) + " (" + GroupedNumber(items.Bytes(item)) +
            " bytes)";
    text += "\r\n" + line;
    if (items.Damaged(item)) {
        CString damaged = "\r\nDamaged: part of the picture may be missing or wrong.";
        if (items.DamagedShare(item) >= 0)
            damaged.Format("\r\nDamaged: about %d%% of the picture could be read", items.DamagedShare(item));
        text += damaged;
    }
    if (!items.Decodes(item) && !CanDrawPictureType(items.Type(item)))
        text += "\r\n" + CannotShowText(items.Type(item));
    else if (!items.Decodes(item))
        text += "\r\nThis picture cannot be shown: its data is damaged or incomplete.";
    if (items.Date(item))
        text += "\r\nDate: " + LocalDateText(items.Date(item));
    // The date above is the file system's where it kept one: the moment the
    // camera wrote into the photo is told as well.
    if (items.Taken(item) && items.Taken(item) != items.Date(item))
        text += "\r\nTaken: " + LocalDateText(items.Taken(item));
    if (!items.Camera(item).empty())
        text += "\r\nCamera: " + CString(items.Camera(item).c_str());
    if (!items.Lens(item).empty())
        text += "\r\nLens: " + CString(items.Lens(item).c_str());
    return text;
}

CString CannotShowText(PictureType type)
{
    if (DrawsCarriedPicturesOnly(type))
        return CString("This ") + PictureTypeName(type) +
               " file carries no preview picture to show; Recover copies the file as it was found.";
    return CString("Quorvane cannot show ") + PictureTypeName(type) +
           " pictures; Recover copies the file as it was found.";
}

CString CountLine(int shown, int found, int ticked, uint64_t tickedBytes)
{
    return GroupedNumber(static_cast<uint64_t>(shown)) + " of " + GroupedNumber(static_cast<uint64_t>(found)) +
           " pictures shown - " + GroupedNumber(static_cast<uint64_t>(ticked)) + " ticked (" +
           FormatSize(static_cast<long long>(tickedBytes)) + ")";
}
