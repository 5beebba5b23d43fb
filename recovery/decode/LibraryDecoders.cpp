// HEIC/AVIF and WebP through their DLLs. Longer than most files here (about
// 560 lines): the loading, libheif's file reader and the two decoders share
// the file limits and the pixel copying, and nothing outside uses them.
#include "LibraryDecoders.h"
#include "DllFunctions.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <libheif/heif.h>
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "HevcDecoder.h"
#include "JpegLayout.h"

using namespace Gdiplus::DllExports;
using Gdiplus::GpBitmap;
using Gdiplus::Ok;

namespace {

// ---------------------------------------------------------------------------
// The DLLs

// A DLL beside the program, loaded by its full path (never the search path).
HMODULE LoadBesideProgram(const char* name)
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    char* slash = std::strrchr(path, '\\');
    if (!slash || static_cast<size_t>(slash + 1 - path) + std::strlen(name) >= MAX_PATH)
        return nullptr;
    std::strcpy(slash + 1, name);
    // A DLL's own dependencies (libheif's codecs) are looked for beside it.
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

struct HeifLibrary {
    decltype(&heif_context_alloc) contextAlloc;
    decltype(&heif_context_free) contextFree;
    decltype(&heif_context_read_from_reader) readFromReader;
    decltype(&heif_context_set_maximum_image_size_limit) setSizeLimit;
    decltype(&heif_context_get_primary_image_handle) primaryHandle;
    decltype(&heif_image_handle_release) handleRelease;
    decltype(&heif_image_handle_get_width) handleWidth;
    decltype(&heif_image_handle_get_height) handleHeight;
    decltype(&heif_image_handle_get_list_of_thumbnail_IDs) thumbnailIds;
    decltype(&heif_image_handle_get_thumbnail) thumbnail;
    decltype(&heif_decode_image) decode;
    decltype(&heif_image_get_width) imageWidth;
    decltype(&heif_image_get_height) imageHeight;
    decltype(&heif_image_get_plane_readonly) plane;
    decltype(&heif_image_release) imageRelease;
    decltype(&heif_image_handle_get_list_of_metadata_block_IDs) metadataIds;
    decltype(&heif_image_handle_get_metadata_size) metadataSize;
    decltype(&heif_image_handle_get_metadata) metadata;

    // Null when libheif.dll is not beside the program or lacks a function.
    static const HeifLibrary* Get()
    {
        static const HeifLibrary* loaded = Load();
        return loaded;
    }

private:
    static const HeifLibrary* Load()
    {
        static HeifLibrary library;
        const HMODULE module = LoadBesideProgram("libheif.dll");
        CDllFunctions find(module);
        find(library.contextAlloc, "heif_context_alloc");
        find(library.contextFree, "heif_context_free");
        find(library.readFromReader, "heif_context_read_from_reader");
        find(library.setSizeLimit, "heif_context_set_maximum_image_size_limit");
        find(library.primaryHandle, "heif_context_get_primary_image_handle");
        find(library.handleRelease, "heif_image_handle_release");
        find(library.handleWidth, "heif_image_handle_get_width");
        find(library.handleHeight, "heif_image_handle_get_height");
        find(library.thumbnailIds, "heif_image_handle_get_list_of_thumbnail_IDs");
        find(library.thumbnail, "heif_image_handle_get_thumbnail");
        find(library.decode, "heif_decode_image");
        find(library.imageWidth, "heif_image_get_width");
        find(library.imageHeight, "heif_image_get_height");
        find(library.plane, "heif_image_get_plane_readonly");
        find(library.imageRelease, "heif_image_release");
        find(library.metadataIds, "heif_image_handle_get_list_of_metadata_block_IDs");
        find(library.metadataSize, "heif_image_handle_get_metadata_size");
        find(library.metadata, "heif_image_handle_get_metadata");
        if (!find.Complete())
            return nullptr;
        // HEVC decoded on the caller's thread (libheif's own decoder stays
        // where libde265 lacks a function).
        RegisterHevcDecoder(module, LoadBesideProgram("libde265.dll"));
        return &library;
    }
};

struct WebpLibrary {
    decltype(&WebPGetInfo) getInfo;
    decltype(&WebPInitDecoderConfigInternal) initConfig;
    decltype(&WebPDecode) decode;
    decltype(&WebPFreeDecBuffer) freeBuffer;
    // From libwebpdemux.dll; null without it (animations are not drawn).
    decltype(&WebPDemuxInternal) demux = nullptr;
    decltype(&WebPDemuxGetFrame) getFrame = nullptr;
    decltype(&WebPDemuxReleaseIterator) releaseIterator = nullptr;
    decltype(&WebPDemuxDelete) demuxDelete = nullptr;

    static const WebpLibrary* Get()
    {
        static const WebpLibrary* loaded = Load();
        return loaded;
    }

private:
    static const WebpLibrary* Load()
    {
        static WebpLibrary library;
        CDllFunctions find(LoadBesideProgram("libwebp.dll"));
        find(library.getInfo, "WebPGetInfo");
        find(library.initConfig, "WebPInitDecoderConfigInternal");
        find(library.decode, "WebPDecode");
        find(library.freeBuffer, "WebPFreeDecBuffer");
        if (!find.Complete())
            return nullptr;
        CDllFunctions demux(LoadBesideProgram("libwebpdemux.dll"));
        demux(library.demux, "WebPDemuxInternal");
        demux(library.getFrame, "WebPDemuxGetFrame");
        demux(library.releaseIterator, "WebPDemuxReleaseIterator");
        demux(library.demuxDelete, "WebPDemuxDelete");
        if (!demux.Complete())
            library.demux = nullptr;
        return &library;
    }
};

// ---------------------------------------------------------------------------
// Files and pixels

// The whole file, when it is no larger than the libraries are given.
bool ReadWholeFile(const CString& path, std::vector<uint8_t>& bytes)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    bool read = GetFileSizeEx(file, &size) && size.QuadPart > 0 &&
                static_cast<uint64_t>(size.QuadPart) <= kLibraryFileLimit;
    if (read) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        size_t done = 0;
        while (read && done < bytes.size()) {
            DWORD got = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 16u << 20));
            read = ReadFile(file, bytes.data() + done, want, &got, nullptr) && got > 0;
            done += got;
        }
    }
    CloseHandle(file);
    return read;
}

bool SizeAllowed(int width, int height)
{
    return width > 0 && height > 0 &&
           static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= kLibraryPixelLimit;
}

// A GDI+ bitmap of its own holding a copy of 8-bit RGBA (rgba) or BGRA rows.
CGdiBitmap BitmapFromRows(const uint8_t* rows, int width, int height, size_t stride, bool rgba)
{
    GpBitmap* made = nullptr;
    if (GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &made) != Ok)
        return CGdiBitmap();
    CGdiBitmap bitmap(made);
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData data = {};
    if (GdipBitmapLockBits(made, &all, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) != Ok)
        return CGdiBitmap();
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = rows + static_cast<size_t>(y) * stride;
        auto* to = static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
        if (!rgba) {
            std::memcpy(to, from, static_cast<size_t>(width) * 4);
            continue;
        }
        for (int x = 0; x < width; ++x, from += 4, to += 4) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            to[3] = from[3];
        }
    }
    GdipBitmapUnlockBits(made, &data);
    return bitmap;
}

// ---------------------------------------------------------------------------
// HEIC/HEIF and AVIF

// The file as libheif reads it: only the boxes and the items it asks for
// (a thumbnail's or the Exif item's bytes), never the whole file at once.
// libheif reads its boxes a few bytes at a time, thousands of reads for a
// phone's photo: those come from a block of the file held in memory (at
// first the file's first bytes, already read for the details), the large
// ones (an item's data) straight from the file.
class CHeifFileReader {
public:
    ~CHeifFileReader()
    {
        if (m_file != INVALID_HANDLE_VALUE)
            CloseHandle(m_file);
    }

    bool Open(const CString& path, const std::string& head)
    {
        m_file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
        LARGE_INTEGER size = {};
        if (m_file == INVALID_HANDLE_VALUE || !GetFileSizeEx(m_file, &size) || size.QuadPart <= 0 ||
            static_cast<uint64_t>(size.QuadPart) > kLibraryFileLimit)
            return false;
        m_size = size.QuadPart;
        // The first bytes as read a moment ago; never more than the file has now.
        m_block.assign(head, 0, static_cast<size_t>(std::min<int64_t>(m_size, static_cast<int64_t>(head.size()))));
        return true;
    }

    static const heif_reader* Functions()
    {
        static const heif_reader functions = {1, &Position, &Read, &Seek, &WaitForSize};
        return &functions;
    }

private:
    static const size_t kBlock = 64 * 1024;

    static int64_t Position(void* self) { return static_cast<CHeifFileReader*>(self)->m_position; }

    static int Read(void* data, size_t size, void* self)
    {
        auto* reader = static_cast<CHeifFileReader*>(self);
        const int64_t at = reader->m_position;
        if (static_cast<uint64_t>(at) + size > static_cast<uint64_t>(reader->m_size))
            return 1;
        auto* to = static_cast<uint8_t*>(data);
        if (!reader->InBlock(at, size)) {
            if (size >= kBlock) {
                if (!reader->ReadFileAt(at, to, size))
                    return 1;
                reader->m_position += static_cast<int64_t>(size);
                return 0;
            }
            const size_t fill = static_cast<size_t>(std::min<int64_t>(reader->m_size - at, kBlock));
            reader->m_block.resize(fill);
            reader->m_blockAt = at;
            if (!reader->ReadFileAt(at, reinterpret_cast<uint8_t*>(&reader->m_block[0]), fill)) {
                reader->m_block.clear();
                return 1;
            }
        }
        std::memcpy(to, reader->m_block.data() + (at - reader->m_blockAt), size);
        reader->m_position += static_cast<int64_t>(size);
        return 0;
    }

    static int Seek(int64_t position, void* self)
    {
        auto* reader = static_cast<CHeifFileReader*>(self);
        if (position < 0 || position > reader->m_size)
            return 1;
        reader->m_position = position;
        return 0;
    }

    static heif_reader_grow_status WaitForSize(int64_t target, void* self)
    {
        return target <= static_cast<CHeifFileReader*>(self)->m_size ? heif_reader_grow_status_size_reached
                                                                     : heif_reader_grow_status_size_beyond_eof;
    }

    bool InBlock(int64_t at, size_t size) const
    {
        return at >= m_blockAt && static_cast<uint64_t>(at - m_blockAt) + size <= m_block.size();
    }

    // size bytes at offset at, all of them.
    bool ReadFileAt(int64_t at, uint8_t* to, size_t size)
    {
        LARGE_INTEGER where = {};
        where.QuadPart = at;
        if (!SetFilePointerEx(m_file, where, nullptr, FILE_BEGIN))
            return false;
        for (size_t done = 0; done < size;) {
            DWORD got = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 16u << 20));
            if (!ReadFile(m_file, to + done, want, &got, nullptr) || got == 0)
                return false;
            done += got;
        }
        return true;
    }

    HANDLE m_file = INVALID_HANDLE_VALUE;
    int64_t m_size = 0;
    int64_t m_position = 0;
    std::string m_block;  // the file's bytes from m_blockAt
    int64_t m_blockAt = 0;
};

// libheif's objects of one file, released in turn.
class CHeifFile {
public:
    explicit CHeifFile(const HeifLibrary& heif) : m_heif(heif), m_context(heif.contextAlloc()) {}
    ~CHeifFile()
    {
        if (m_primary)
            m_heif.handleRelease(m_primary);
        if (m_context)
            m_heif.contextFree(m_context);
    }
    CHeifFile(const CHeifFile&) = delete;
    CHeifFile& operator=(const CHeifFile&) = delete;

    // Reads the file's boxes and finds its primary picture; head is the
    // file's first bytes where they were read already (or empty).
    bool Open(const CString& path, const std::string& head)
    {
        if (!m_context || !m_reader.Open(path, head))
            return false;
        // Pictures wider than this are refused before anything is decoded.
        m_heif.setSizeLimit(m_context, 32768);
        return m_heif.readFromReader(m_context, CHeifFileReader::Functions(), &m_reader, nullptr).code ==
                   heif_error_Ok &&
               m_heif.primaryHandle(m_context, &m_primary).code == heif_error_Ok && m_primary;
    }

    // The primary picture's size as shown (its rotation applied).
    unsigned Width() const { return static_cast<unsigned>(std::max(0, m_heif.handleWidth(m_primary))); }
    unsigned Height() const { return static_cast<unsigned>(std::max(0, m_heif.handleHeight(m_primary))); }

    // The smallest thumbnail item at least minWidth x minHeight; empty when none.
    CGdiBitmap Thumbnail(unsigned minWidth, unsigned minHeight) const
    {
        heif_item_id ids[8] = {};
        const int count = m_heif.thumbnailIds(m_primary, ids, 8);
        heif_image_handle* best = nullptr;
        uint64_t bestPixels = 0;
        for (int i = 0; i < count && i < 8; ++i) {
            heif_image_handle* handle = nullptr;
            if (m_heif.thumbnail(m_primary, ids[i], &handle).code != heif_error_Ok || !handle)
                continue;
            const int w = m_heif.handleWidth(handle), h = m_heif.handleHeight(handle);
            const uint64_t pixels = static_cast<uint64_t>(std::max(0, w)) * static_cast<uint64_t>(std::max(0, h));
            if (SizeAllowed(w, h) && static_cast<unsigned>(w) >= minWidth && static_cast<unsigned>(h) >= minHeight &&
                (!best || pixels < bestPixels)) {
                if (best)
                    m_heif.handleRelease(best);
                best = handle;
                bestPixels = pixels;
            } else {
                m_heif.handleRelease(handle);
            }
        }
        if (!best)
            return CGdiBitmap();
        CGdiBitmap bitmap = Decode(best);
        m_heif.handleRelease(best);
        return bitmap;
    }

    CGdiBitmap Primary() const { return Decode(m_primary); }

    // The primary picture's Exif item as a TIFF block (the item starts with
    // the offset of its TIFF header); empty when it has none.
    std::string ExifTiff() const
    {
        heif_item_id id = 0;
        if (m_heif.metadataIds(m_primary, "Exif", &id, 1) != 1)
            return std::string();
        const size_t size = m_heif.metadataSize(m_primary, id);
        // An Exif block is at most 64 KiB in a JPEG; a HEIC's may be larger,
        // but not without bound.
        if (size <= 4 || size > (4u << 20))
            return std::string();
        std::string block(size, '\0');
        if (m_heif.metadata(m_primary, id, &block[0]).code != heif_error_Ok)
            return std::string();
        const auto* b = reinterpret_cast<const unsigned char*>(block.data());
        const uint64_t start = 4 + (static_cast<uint64_t>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3]);
        return start < size ? block.substr(static_cast<size_t>(start)) : std::string();
    }

private:
    // Decoded as 8-bit RGBA with the file's rotation and mirroring applied.
    CGdiBitmap Decode(heif_image_handle* handle) const
    {
        if (!SizeAllowed(m_heif.handleWidth(handle), m_heif.handleHeight(handle)))
            return CGdiBitmap();
        heif_image* image = nullptr;
        if (m_heif.decode(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr).code !=
                heif_error_Ok ||
            !image)
            return CGdiBitmap();
        CGdiBitmap bitmap;
        int stride = 0;
        const uint8_t* rows = m_heif.plane(image, heif_channel_interleaved, &stride);
        const int w = m_heif.imageWidth(image, heif_channel_interleaved);
        const int h = m_heif.imageHeight(image, heif_channel_interleaved);
        if (rows && SizeAllowed(w, h) && stride >= w * 4)
            bitmap = BitmapFromRows(rows, w, h, static_cast<size_t>(stride), true);
        m_heif.imageRelease(image);
        return bitmap;
    }

    const HeifLibrary& m_heif;
    // Read from as long as the context lives: declared first, gone last.
    CHeifFileReader m_reader;
    heif_context* m_context;
    heif_image_handle* m_primary = nullptr;
};

class CHeifDecoder : public CPictureDecoder {
public:
    bool Draws() const override { return HeifLibrary::Get() != nullptr; }
    // Read before drawing: the file is opened there once, and its
    // thumbnail and its details come from that one reading of its boxes.
    HeadUse ReadsHead() const override { return HeadUse::Drawing; }

    // The date taken, camera and lens from the Exif item; the boxes only,
    // nothing decoded. Its orientation is not taken: the file's own turn
    // and mirror (irot, imir), which libheif applies, are the ones that
    // count, and the Exif's repeats them. The opened file stays in the head.
    void ReadHead(const CString& path, const std::string& bytes, PictureHead& head) const override
    {
        const HeifLibrary* heif = HeifLibrary::Get();
        if (!heif)
            return;
        auto file = std::make_shared<CHeifFile>(*heif);
        if (!file->Open(path, bytes))
            return;
        const std::string tiff = file->ExifTiff();
        JpegLayout tags;
        ReadTiffTags(reinterpret_cast<const unsigned char*>(tiff.data()), tiff.size(), tags);
        head.taken = tags.taken;
        head.camera = CameraName(tags.make, tags.model);
        head.lens = tags.lens;
        head.held = std::move(file);
    }

    // The file's own thumbnail item: no decode of the whole photo.
    DecodedPicture Reduced(const CString& path, const PictureHead& head, unsigned minWidth,
                           unsigned minHeight) const override
    {
        std::shared_ptr<const CHeifFile> file = Opened(path, head);
        if (!file)
            return DecodedPicture();
        return DecodedPicture::Whole(file->Thumbnail(minWidth, minHeight), file->Width(), file->Height());
    }

    // The primary picture, its grid's tiles joined.
    DecodedPicture Whole(const CString& path, const PictureHead& head) const override
    {
        std::shared_ptr<const CHeifFile> file = Opened(path, head);
        return file ? DecodedPicture::Whole(file->Primary()) : DecodedPicture();
    }

private:
    // The file as the head holds it opened, else opened now; null when
    // libheif refuses it (or is not there).
    static std::shared_ptr<const CHeifFile> Opened(const CString& path, const PictureHead& head)
    {
        if (head.held)
            return std::static_pointer_cast<const CHeifFile>(head.held);
        const HeifLibrary* heif = HeifLibrary::Get();
        if (!heif)
            return nullptr;
        auto file = std::make_shared<CHeifFile>(*heif);
        return file->Open(path, std::string()) ? file : nullptr;
    }
};

// ---------------------------------------------------------------------------
// WebP

// Decodes data (a still WebP, or an animation's frame) into BGRA rows, scaled
// to width x height when they are not 0.
CGdiBitmap DecodeWebp(const WebpLibrary& webp, const uint8_t* data, size_t size, int width, int height)
{
    WebPDecoderConfig config;
    if (!webp.initConfig(&config, WEBP_DECODER_ABI_VERSION))
        return CGdiBitmap();
    int w = 0, h = 0;
    if (!webp.getInfo(data, size, &w, &h) || !SizeAllowed(w, h))
        return CGdiBitmap();
    if (width > 0 && height > 0 && width < w && height < h) {
        config.options.use_scaling = 1;
        config.options.scaled_width = width;
        config.options.scaled_height = height;
        w = width;
        h = height;
    }
    std::vector<uint8_t> rows(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = rows.data();
    config.output.u.RGBA.stride = w * 4;
    config.output.u.RGBA.size = rows.size();
    const bool decoded = webp.decode(data, size, &config) == VP8_STATUS_OK;
    webp.freeBuffer(&config.output);
    return decoded ? BitmapFromRows(rows.data(), w, h, static_cast<size_t>(w) * 4, false) : CGdiBitmap();
}

class CWebpDecoder : public CPictureDecoder {
public:
    bool Draws() const override { return WebpLibrary::Get() != nullptr; }

    // Scaled while decoding, to the least size that covers minWidth x minHeight.
    DecodedPicture Reduced(const CString& path, const PictureHead& head, unsigned minWidth,
                           unsigned minHeight) const override
    {
        (void)head;
        return Decode(path, minWidth, minHeight);
    }

    DecodedPicture Whole(const CString& path, const PictureHead& head) const override
    {
        (void)head;
        return Decode(path, 0, 0);
    }

private:
    static DecodedPicture Decode(const CString& path, unsigned minWidth, unsigned minHeight)
    {
        const WebpLibrary* webp = WebpLibrary::Get();
        std::vector<uint8_t> bytes;
        if (!webp || !ReadWholeFile(path, bytes))
            return DecodedPicture();
        // An animation is shown by its first frame.
        const uint8_t* data = bytes.data();
        size_t size = bytes.size();
        WebPDemuxer* demux = nullptr;
        WebPIterator frame = {};
        bool framed = false;
        if (webp->demux) {
            WebPData whole = {bytes.data(), bytes.size()};
            demux = webp->demux(&whole, 0, nullptr, WEBP_DEMUX_ABI_VERSION);
            if (demux && webp->getFrame(demux, 1, &frame)) {
                framed = true;
                data = frame.fragment.bytes;
                size = frame.fragment.size;
            }
        }
        DecodedPicture picture;
        int w = 0, h = 0;
        if (webp->getInfo(data, size, &w, &h) && SizeAllowed(w, h)) {
            int scaledW = 0, scaledH = 0;
            if (minWidth && minHeight) {
                const double scale = std::max(static_cast<double>(minWidth) / w, static_cast<double>(minHeight) / h);
                if (scale < 0.5) {
                    scaledW = std::max(1, static_cast<int>(w * scale + 0.5));
                    scaledH = std::max(1, static_cast<int>(h * scale + 0.5));
                }
            }
            picture = DecodedPicture::Whole(DecodeWebp(*webp, data, size, scaledW, scaledH), static_cast<unsigned>(w),
                                            static_cast<unsigned>(h));
        }
        if (framed)
            webp->releaseIterator(&frame);
        if (demux)
            webp->demuxDelete(demux);
        return picture;
    }
};

}  // namespace

const CPictureDecoder& HeifPictureDecoder()
{
    static const CHeifDecoder decoder;
    return decoder;
}

const CPictureDecoder& WebpPictureDecoder()
{
    static const CWebpDecoder decoder;
    return decoder;
}
