#include "SettingsFiles.h"

#include <cstdio>
#include <string>
#include <vector>

#include "FileUtils.h"

const CString g_strSettingsFile = "settings.ini";
const CString g_strFormatsFile = "formats.ini";
const CString g_strWorkFolderFile = "workfolder.ini";

const char* const g_formatTokens[kFormatTokenCount] = {"jpg", "gif", "png", "bmp", "tif",
                                                       "raw", "heic", "avif", "webp"};
const CString g_strAllFormats = "jpg,gif,png,bmp,tif,raw,heic,avif,webp";

namespace {

// The longest line the files hold, terminator not counted.
const size_t kMaxLine = MAX_PATH - 1;

// The file's lines without their CR LF; none when it cannot be read.
std::vector<std::string> ReadLines(const CString& strFile)
{
    std::vector<std::string> lines;
    FILE* pFile = std::fopen(GetModuleFolder() + strFile, "rb");
    if (!pFile)
        return lines;
    std::string text;
    char buffer[4096];
    size_t nRead;
    while ((nRead = std::fread(buffer, 1, sizeof(buffer), pFile)) > 0)
        text.append(buffer, nRead);
    std::fclose(pFile);
    size_t nStart = 0;
    while (nStart < text.size()) {
        size_t nEnd = text.find('\n', nStart);
        if (nEnd == std::string::npos)
            nEnd = text.size();
        std::string line = text.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

bool StartsWith(const std::string& line, const std::string& key)
{
    return line.compare(0, key.size(), key) == 0;
}

// Replaces the file with text (each line ending in "\n", written as CR LF).
void WriteText(const CString& strFile, const std::string& text)
{
    FILE* pFile = std::fopen(GetModuleFolder() + strFile, "w");
    if (!pFile)
        return;
    std::fputs(text.c_str(), pFile);
    std::fclose(pFile);
}

}  // namespace

CString ReadSetting(const CString& strFile, const CString& strKey, const CString& strDefault)
{
    CString strResult = strDefault;
    FILE* pFile = std::fopen(GetModuleFolder() + strFile, "rb");
    if (!pFile)
        return strResult;

    const std::string& key = strKey.str();
    std::string line;
    bool bTooLong = false;
    bool bEnd = false;
    while (!bEnd) {
        const int c = std::fgetc(pFile);
        if (c != EOF && c != '\n') {
            // Keep one character past the limit so a trailing CR can still
            // be told apart from an over-long line.
            if (line.size() <= kMaxLine)
                line += static_cast<char>(c);
            else
                bTooLong = true;
            continue;
        }
        if (c == EOF) {
            bEnd = true;
            if (line.empty() && !bTooLong)
                break;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // An over-long line is dropped whole: no piece of it may pass for a line.
        if (!bTooLong && line.size() <= kMaxLine && line.compare(0, key.size(), key) == 0 &&
            line.size() >= key.size())
            strResult = CString(line.substr(key.size()));
        line.clear();
        bTooLong = false;
    }
    std::fclose(pFile);
    return strResult;
}

void WriteSetting(const CString& strFile, const CString& strLineFormat, const CString& strValue)
{
    // The value goes in literally: it never acts as a format itself.
    std::string text = strLineFormat.str();
    const size_t nAt = text.find("%s");
    if (nAt != std::string::npos)
        text.replace(nAt, 2, strValue.str());

    FILE* pFile = std::fopen(GetModuleFolder() + strFile, "w");
    if (!pFile)
        return;
    std::fputs(text.c_str(), pFile);
    std::fclose(pFile);
}

void ReplaceSetting(const CString& strFile, const CString& strKey, const CString& strValue)
{
    const std::string& key = strKey.str();
    std::string kept;
    bool bWritten = false;
    for (const std::string& line : ReadLines(strFile)) {
        if (StartsWith(line, key)) {
            // The new value takes the place of the first line it replaces.
            if (!bWritten)
                kept += key + strValue.str() + "\n";
            bWritten = true;
            continue;
        }
        kept += line + "\n";
    }
    if (!bWritten)
        kept += key + strValue.str() + "\n";
    WriteText(strFile, kept);
}

bool IsFormatEnabled(const CString& strFormats, const CString& strToken)
{
    return strFormats.Find(strToken) >= 0;
}

CString ReadSaveFolder()
{
    return ReadSetting(g_strSettingsFile, "savedir=", GetPicturesFolder());
}

namespace {

// settings.ini starts with the save folder, and the arrangement when one
// was chosen; every other line of the file stays as it was, in its order,
// whatever it holds (the window's place, the copy of the disk, the list's
// view and any line a later version writes).
void WriteSettingsFile(const CString& strFolder, bool bFolder, const CString& strArrangement)
{
    std::string text;
    if (bFolder)
        text += "savedir=" + strFolder.str() + "\n";
    if (!strArrangement.IsEmpty() && strArrangement.Find('%') < 0 && strArrangement.Find('\n') < 0)
        text += "arrange=" + strArrangement.str() + "\n";
    for (const std::string& line : ReadLines(g_strSettingsFile)) {
        if (!StartsWith(line, "savedir=") && !StartsWith(line, "arrange="))
            text += line + "\n";
    }
    WriteText(g_strSettingsFile, text);
}

}  // namespace

void WriteSaveFolder(const CString& strFolder)
{
    WriteSettingsFile(strFolder, true, ReadArrangement());
}

CString ReadArrangement()
{
    return ReadSetting(g_strSettingsFile, "arrange=", "");
}

void WriteArrangement(const CString& strArrangement)
{
    // No line feed is ever a stored folder: it tells "none stored".
    const CString strNone = "\n";
    const CString strFolder = ReadSetting(g_strSettingsFile, "savedir=", strNone);
    WriteSettingsFile(strFolder, strFolder != strNone, strArrangement);
}

void ReadDiskCopy(bool& bWanted, CString& strFolder)
{
    const CString strLine = ReadSetting(g_strSettingsFile, "diskcopy=", "");
    const int nBar = strLine.Find('|');
    bWanted = nBar >= 0 && strLine.Left(nBar) == "on";
    strFolder = nBar >= 0 ? strLine.Mid(nBar + 1) : CString();
}

void WriteDiskCopy(bool bWanted, const CString& strFolder)
{
    // A folder never holds a line feed; one that did would end the line.
    if (strFolder.Find('\n') >= 0 || strFolder.Find('\r') >= 0)
        return;
    ReplaceSetting(g_strSettingsFile, "diskcopy=", CString(bWanted ? "on|" : "off|") + strFolder);
}

CString ReadWindowPlace()
{
    return ReadSetting(g_strSettingsFile, "window=", "");
}

void WriteWindowPlace(const CString& strPlace)
{
    ReplaceSetting(g_strSettingsFile, "window=", strPlace);
}

CString ReadListView()
{
    return ReadSetting(g_strSettingsFile, "listview=", "");
}

void WriteListView(const CString& strView)
{
    ReplaceSetting(g_strSettingsFile, "listview=", strView);
}

CString ReadEngineFormats()
{
    // No line holds a line feed: this default tells "no list" from any list.
    const CString strNoList = "\n";
    const CString strStored = ReadSetting(g_strFormatsFile, "formats=", strNoList);
    if (strStored == strNoList)
        return g_strAllFormats;
    const bool bCurrent = ReadSetting(g_strFormatsFile, "version=", "") == "2";
    bool bAnyOld = false;
    for (int i = 0; i < kOldFormatTokenCount; ++i)
        bAnyOld = bAnyOld || IsFormatEnabled(strStored, g_formatTokens[i]);

    CString strFormats;
    for (int i = 0; i < kFormatTokenCount; ++i) {
        const bool bNewer = i >= kOldFormatTokenCount;
        if (!IsFormatEnabled(strStored, g_formatTokens[i]) && !(bNewer && bAnyOld && !bCurrent))
            continue;
        if (!strFormats.IsEmpty())
            strFormats += ",";
        strFormats += g_formatTokens[i];
    }
    return strFormats;
}

void WriteFormats(const CString& strFormats)
{
    WriteSetting(g_strFormatsFile, "formats=%s\nversion=2\n", strFormats);
}

CString ReadMovedWorkFolder()
{
    return ReadSetting(g_strWorkFolderFile, "workdir=", "");
}

void WriteMovedWorkFolder(const CString& strFolder)
{
    WriteSetting(g_strWorkFolderFile, "workdir=%s\n", strFolder);
}

void ForgetMovedWorkFolder()
{
    DeleteFileA(GetModuleFolder() + g_strWorkFolderFile);
}
