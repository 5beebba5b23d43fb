#include "PictureType.h"

namespace {

const char* const kTypeNames[kPictureTypes] = {"JPEG", "GIF", "PNG", "BMP", "TIFF", "RAW", "HEIC", "AVIF", "WebP"};

struct Extension {
    const char* text;  // lower case, without the dot
    PictureType type;
};

// The extensions the engine writes, and those the file systems' records
// give the same pictures.
const Extension kExtensions[] = {
    {"jpg", kTypeJpeg}, {"jpeg", kTypeJpeg}, {"gif", kTypeGif},   {"png", kTypePng},   {"bmp", kTypeBmp},
    {"tif", kTypeTiff}, {"tiff", kTypeTiff}, {"cr2", kTypeRaw},   {"cr3", kTypeRaw},   {"nef", kTypeRaw},
    {"nrw", kTypeRaw},  {"arw", kTypeRaw},   {"sr2", kTypeRaw},   {"srf", kTypeRaw},   {"dng", kTypeRaw},
    {"pef", kTypeRaw},  {"srw", kTypeRaw},   {"orf", kTypeRaw},   {"rw2", kTypeRaw},   {"rwl", kTypeRaw},
    {"raf", kTypeRaw},  {"heic", kTypeHeic}, {"heif", kTypeHeic}, {"hif", kTypeHeic},  {"avif", kTypeAvif},
    {"webp", kTypeWebp},
};

}  // namespace

bool PictureTypeOfExtension(const std::string& path, PictureType& type)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find_first_of("\\/", dot) != std::string::npos)
        return false;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    for (const Extension& known : kExtensions) {
        if (extension == known.text) {
            type = known.type;
            return true;
        }
    }
    return false;
}

PictureType PictureTypeOf(const std::string& path)
{
    PictureType type = kTypeJpeg;
    return PictureTypeOfExtension(path, type) ? type : kTypeJpeg;
}

const char* PictureTypeName(PictureType type)
{
    return type < kPictureTypes ? kTypeNames[type] : "";
}
