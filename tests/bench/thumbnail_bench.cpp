// Where a thumbnail's time goes, file by file (scripts/bench-thumbnails):
// reading the file's bytes, having its picture (the Exif thumbnail, the
// JPEG eighth, the sampled BMP, or the whole decode: whichever the
// thumbnail takes) and the rest of drawing it (scaling onto 64 x 64).
// Each file is timed a few times, the fastest kept (the file is then in
// the system's cache: the disk is not what is measured). Beside them, what
// a whole decode of the file takes (where it has no cheaper picture, the
// thumbnail's price). A benchmark, not a test.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "PictureDecode.h"
#include "PictureSource.h"
#include "Thumbnail.h"

namespace {

double Ms(std::chrono::steady_clock::time_point from)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
}

// The picture the thumbnail is drawn from, had as RenderThumbnail has it.
const char* HavePicture(const char* path)
{
    CPictureSource source(path);
    if (source.SmallCopy())
        return "small copy";
    unsigned width = 0, height = 0;
    unsigned minWidth = kThumbSize, minHeight = kThumbSize;
    if (source.HeadSize(width, height)) {
        const ThumbnailRect fit = FitThumbnail(width, height);
        minWidth = static_cast<unsigned>(fit.width);
        minHeight = static_cast<unsigned>(fit.height);
    }
    if (source.Reduced(minWidth, minHeight))
        return "reduced";
    if (source.Whole())
        return "whole";
    return source.Salvage() ? "salvage" : "none";
}

// QV_BENCH_SUM (a file listing one path a line, for more files than a
// command line holds): each file's thumbnail made once, as the window makes it,
// and the times summed by the kind of file and where its picture comes
// from: where a whole search's thumbnail time goes.
int SumByKind(const char* listPath)
{
    std::vector<std::string> paths;
    if (FILE* list = std::fopen(listPath, "r")) {
        char line[MAX_PATH + 2];
        while (std::fgets(line, sizeof line, list)) {
            line[std::strcspn(line, "\r\n")] = '\0';
            if (*line)
                paths.push_back(line);
        }
        std::fclose(list);
    }
    const int count = static_cast<int>(paths.size());
    struct Kind {
        int files = 0;
        double total = 0, longest = 0;
    };
    std::vector<std::pair<std::string, Kind>> kinds;
    double all = 0;
    for (int i = 0; i < count; ++i) {
        const char* dot = std::strrchr(paths[i].c_str(), '.');
        const std::string key = std::string(dot ? dot + 1 : "?") + ", " + HavePicture(paths[i].c_str());
        const auto start = std::chrono::steady_clock::now();
        ThumbnailPixels pixels;
        RenderThumbnail(paths[i].c_str(), pixels);
        const double ms = Ms(start);
        auto kind = std::find_if(kinds.begin(), kinds.end(), [&](const auto& k) { return k.first == key; });
        if (kind == kinds.end())
            kind = kinds.insert(kinds.end(), {key, Kind{}});
        ++kind->second.files;
        kind->second.total += ms;
        kind->second.longest = std::max(kind->second.longest, ms);
        all += ms;
    }
    std::printf("%-22s %6s %10s %8s %8s %6s\n", "kind, from", "files", "total ms", "mean", "longest", "share");
    for (const auto& k : kinds)
        std::printf("%-22s %6d %10.0f %8.1f %8.1f %5.0f%%\n", k.first.c_str(), k.second.files, k.second.total,
                    k.second.total / k.second.files, k.second.longest, all > 0 ? 100 * k.second.total / all : 0.0);
    std::printf("%-22s %6d %10.0f\n", "all", count, all);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // As the window's thumbnail workers run.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CJpegDecoderAtHand jpegDecoder;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    if (const char* list = std::getenv("QV_BENCH_SUM")) {
        const int result = SumByKind(list);
        Gdiplus::GdiplusShutdown(token);
        return result;
    }
    const int kRounds = 3;
    // QV_BENCH_BOX (128 or 256): also the thumbnail at that size, and
    // reading it back from a cache file of its pixels instead.
    const char* boxText = std::getenv("QV_BENCH_BOX");
    const int box = boxText ? std::atoi(boxText) : 0;
    std::printf("%-22s %10s %-10s %8s %8s %8s %8s %8s", "file", "bytes", "from", "read", "picture", "scale",
                "total", "whole");
    if (box > kThumbSize)
        std::printf(" %8s %8s", "box", "cached");
    std::printf("\n");
    for (int i = 1; i < argc; ++i) {
        double read = 1e9, picture = 1e9, total = 1e9, whole = 1e9, boxed = 1e9, cached = 1e9;
        const char* from = "";
        uint64_t bytes = 0;
        for (int round = 0; round < kRounds; ++round) {
            auto start = std::chrono::steady_clock::now();
            HANDLE file = CreateFileA(argv[i], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            if (file == INVALID_HANDLE_VALUE)
                break;
            std::vector<char> buffer(1 << 20);
            DWORD got = 0;
            bytes = 0;
            while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got)
                bytes += got;
            CloseHandle(file);
            read = std::min(read, Ms(start));

            start = std::chrono::steady_clock::now();
            from = HavePicture(argv[i]);
            picture = std::min(picture, Ms(start));

            start = std::chrono::steady_clock::now();
            ThumbnailPixels pixels;
            RenderThumbnail(argv[i], pixels);
            total = std::min(total, Ms(start));

            start = std::chrono::steady_clock::now();
            CPictureSource(argv[i]).Whole();
            whole = std::min(whole, Ms(start));

            if (box > kThumbSize) {
                start = std::chrono::steady_clock::now();
                RenderThumbnail(argv[i], pixels, nullptr, box);
                boxed = std::min(boxed, Ms(start));
                // 24 bits a pixel, as the list holds them.
                const std::string cache = "box-cache.bin";
                std::string rows(pixels.size() * 3, '\0');
                for (size_t p = 0; p < pixels.size(); ++p)
                    std::memcpy(&rows[p * 3], &pixels[p], 3);
                FILE* out = std::fopen(cache.c_str(), "wb");
                if (out) {
                    std::fwrite(rows.data(), 1, rows.size(), out);
                    std::fclose(out);
                }
                start = std::chrono::steady_clock::now();
                FILE* in = std::fopen(cache.c_str(), "rb");
                if (in) {
                    std::fread(&rows[0], 1, rows.size(), in);
                    std::fclose(in);
                }
                cached = std::min(cached, Ms(start));
            }
        }
        const char* name = std::max(std::strrchr(argv[i], '\\'), std::strrchr(argv[i], '/'));
        std::printf("%-22s %10llu %-10s %8.1f %8.1f %8.1f %8.1f %8.1f", name ? name + 1 : argv[i],
                    static_cast<unsigned long long>(bytes), from, read, picture, std::max(0.0, total - picture),
                    total, whole);
        if (box > kThumbSize)
            std::printf(" %8.1f %8.2f", boxed, cached);
        std::printf("\n");
    }
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
