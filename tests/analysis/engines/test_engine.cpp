// A stand-in for the recovery engine, installed as photo.exe. It records its
// argument string in args.txt beside itself, then follows script.txt beside
// itself, one command per line, fields separated by '|'. Destinations are
// relative to the output folder given after /d (created on first use).
//
//   sleep|MS                       pause
//   copy|SRC|DEST                  copy a file
//   slow|SRC|DEST|MS               write DEST in two halves, MS apart, held open
//   hold|SRC|DEST|RELEASE          write DEST, keep it open until file RELEASE exists
//   text|DEST|CONTENT              write a small text file
//   mark|PATH                      create an empty file (a signal to the test)
//   waitfor|PATH                   wait until a file exists
//   progress|TEXT[|AGE]            replace the progress file beside the data
//                                  folder with TEXT, "\n" standing for a line
//                                  end, dated AGE seconds back if given
//   forever                        wait until killed
//   exit|CODE                      end at once with this exit code
#include <windows.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string OwnFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

// The command line without the program's own name.
std::string ArgumentString()
{
    const char* line = GetCommandLineA();
    if (*line == '"') {
        ++line;
        while (*line && *line != '"')
            ++line;
        if (*line)
            ++line;
    } else {
        while (*line && *line != ' ')
            ++line;
    }
    while (*line == ' ')
        ++line;
    return line;
}

std::string OutputFolder(const std::string& args)
{
    const std::string start = "/d \"";
    if (args.compare(0, start.size(), start) != 0)
        return std::string();
    const size_t end = args.find('"', start.size());
    return end == std::string::npos ? std::string() : args.substr(start.size(), end - start.size());
}

void WriteAll(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Creates every folder on the way to the file.
void MakeParents(const std::string& file)
{
    for (size_t pos = file.find('\\', 3); pos != std::string::npos; pos = file.find('\\', pos + 1))
        CreateDirectoryA(file.substr(0, pos).c_str(), nullptr);
}

HANDLE CreateExclusive(const std::string& path)
{
    MakeParents(path);
    return CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void WriteBytes(HANDLE file, const char* data, size_t size)
{
    DWORD written = 0;
    if (size)
        WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
}

void WaitForFile(const std::string& path)
{
    while (!Exists(path))
        Sleep(20);
}

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '|'))
        fields.push_back(field);
    return fields;
}

// Beside the data folder that holds the output folder, as the engine does.
std::string ProgressFile(const std::string& output)
{
    const std::string data = output.substr(0, output.find_last_of('\\'));
    return data + ".progress";
}

std::string LineEnds(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void AgeFile(const std::string& path, unsigned seconds)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= static_cast<ULONGLONG>(seconds) * 10000000ull;
    FILETIME old = {t.LowPart, t.HighPart};
    SetFileTime(file, nullptr, nullptr, &old);
    CloseHandle(file);
}

}  // namespace

int main()
{
    const std::string folder = OwnFolder();
    const std::string args = ArgumentString();
    WriteAll(folder + "args.tmp", args);
    MoveFileExA((folder + "args.tmp").c_str(), (folder + "args.txt").c_str(), MOVEFILE_REPLACE_EXISTING);

    const std::string output = OutputFolder(args);
    std::istringstream script(ReadAll(folder + "script.txt"));
    std::string line;
    while (std::getline(script, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::vector<std::string> f = Split(line);
        if (f.empty())
            continue;
        const std::string& cmd = f[0];
        if (cmd == "sleep" && f.size() >= 2) {
            Sleep(static_cast<DWORD>(std::stoul(f[1])));
        } else if (cmd == "copy" && f.size() >= 3) {
            HANDLE file = CreateExclusive(output + "\\" + f[2]);
            const std::string bytes = ReadAll(f[1]);
            WriteBytes(file, bytes.data(), bytes.size());
            CloseHandle(file);
        } else if (cmd == "slow" && f.size() >= 4) {
            HANDLE file = CreateExclusive(output + "\\" + f[2]);
            const std::string bytes = ReadAll(f[1]);
            const size_t half = bytes.size() / 2;
            WriteBytes(file, bytes.data(), half);
            Sleep(static_cast<DWORD>(std::stoul(f[3])));
            WriteBytes(file, bytes.data() + half, bytes.size() - half);
            CloseHandle(file);
        } else if (cmd == "hold" && f.size() >= 4) {
            HANDLE file = CreateExclusive(output + "\\" + f[2]);
            const std::string bytes = ReadAll(f[1]);
            WriteBytes(file, bytes.data(), bytes.size());
            WaitForFile(f[3]);
            CloseHandle(file);
        } else if (cmd == "text" && f.size() >= 3) {
            HANDLE file = CreateExclusive(output + "\\" + f[1]);
            WriteBytes(file, f[2].data(), f[2].size());
            CloseHandle(file);
        } else if (cmd == "mark" && f.size() >= 2) {
            WriteAll(f[1], std::string());
        } else if (cmd == "waitfor" && f.size() >= 2) {
            WaitForFile(f[1]);
        } else if (cmd == "progress") {
            const std::string path = ProgressFile(output);
            WriteAll(path + ".tmp", f.size() >= 2 ? LineEnds(f[1]) : std::string());
            if (f.size() >= 3)
                AgeFile(path + ".tmp", static_cast<unsigned>(std::stoul(f[2])));
            MoveFileExA((path + ".tmp").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
        } else if (cmd == "forever") {
            Sleep(INFINITE);
        } else if (cmd == "exit" && f.size() >= 2) {
            return static_cast<int>(std::stoul(f[1]));
        }
    }
    return 0;
}
