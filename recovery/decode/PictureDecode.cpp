#include "PictureDecode.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shlwapi.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "BmpSampled.h"
#include "TiffSampled.h"
#include "jpeg_dc_picture.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

const DWORD kHeadBytes = 128 * 1024;

std::wstring ToWide(const CString& text)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

CGdiBitmap Checked(GpBitmap* made)
{
    CGdiBitmap image(made);
    if (!image)
        return image;
    UINT flags = 0;
    GdipGetImageFlags(image.Get(), &flags);
    if (flags == 0 || image.Width() == 0 || image.Height() == 0)
        image.Reset();
    return image;
}

// A part of a file (length bytes from base) read front to back a piece at
// a time, as the JPEG data is decoded.
class FileView : public qv::View {
public:
    FileView(HANDLE file, uint64_t base, uint64_t length)
        : file_(file), base_(base), length_(length), buffer_(kPiece)
    {
    }
    const uint8_t* at(uint64_t pos, size_t& avail) override
    {
        if (pos >= length_)
            return nullptr;
        if (pos < start_ || pos >= start_ + held_) {
            LARGE_INTEGER to;
            to.QuadPart = static_cast<LONGLONG>(base_ + pos);
            DWORD read = 0;
            if (!SetFilePointerEx(file_, to, nullptr, FILE_BEGIN) ||
                !ReadFile(file_, buffer_.data(), kPiece, &read, nullptr) || read == 0)
                return nullptr;
            start_ = pos;
            held_ = std::min<uint64_t>(read, length_ - pos);
        }
        avail = static_cast<size_t>(start_ + held_ - pos);
        return buffer_.data() + (pos - start_);
    }

private:
    static const DWORD kPiece = 256 * 1024;
    HANDLE file_;
    uint64_t base_, length_;
    std::vector<uint8_t> buffer_;
    uint64_t start_ = 0, held_ = 0;
};

// Releases a COM interface when it goes.
template <class T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr()
    {
        if (p)
            p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

// The JPEG decoder's maker held by this thread's CJpegDecoderAtHand, if any.
thread_local IClassFactory* t_jpegDecoders = nullptr;

// A JPEG's pixels from the system's own JPEG decoder, made directly. GDI+
// finds the decoder for a stream by asking each one registered, which
// under Wine is about twenty registry requests a picture to the server:
// they took longer than decoding a camera's small copy itself. None
// where the decoder is not at hand (COM not started on the thread) or
// hands out other pixels than 24-bit colour or 8-bit grey: GDI+ then
// reads the bytes as before.
CGdiBitmap DecodeJpegDirect(IStream* stream)
{
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    UINT width = 0, height = 0;
    WICPixelFormatGUID format = {};
    HRESULT created = E_FAIL;
    if (t_jpegDecoders)
        created = t_jpegDecoders->CreateInstance(nullptr, IID_IWICBitmapDecoder, reinterpret_cast<void**>(&decoder));
    else
        created = CoCreateInstance(CLSID_WICJpegDecoder, nullptr, CLSCTX_INPROC_SERVER, IID_IWICBitmapDecoder,
                                   reinterpret_cast<void**>(&decoder));
    if (FAILED(created) || FAILED(decoder->Initialize(stream, WICDecodeMetadataCacheOnDemand)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&width, &height)) ||
        FAILED(frame->GetPixelFormat(&format)) || width == 0 || height == 0 || width > 0xFFFF || height > 0xFFFF)
        return CGdiBitmap();
    const bool grey = IsEqualGUID(format, GUID_WICPixelFormat8bppGray);
    if (!grey && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        return CGdiBitmap();
    GpBitmap* made = nullptr;
    GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height), 0, PixelFormat24bppRGB, nullptr,
                              &made);
    CGdiBitmap image(made);
    GpRect all = {0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    BitmapData data = {};
    if (!image || GdipBitmapLockBits(image.Get(), &all, ImageLockModeWrite, PixelFormat24bppRGB, &data) != Ok)
        return CGdiBitmap();
    HRESULT copied = E_FAIL;
    if (!grey && data.Stride > 0) {
        // GDI+ keeps 24-bit pixels as blue, green, red: as the decoder gives them.
        const UINT stride = static_cast<UINT>(data.Stride);
        copied = frame->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(data.Scan0));
    } else if (grey) {
        std::vector<BYTE> levels(static_cast<size_t>(width) * height);
        copied = frame->CopyPixels(nullptr, width, static_cast<UINT>(levels.size()), levels.data());
        for (UINT row = 0; SUCCEEDED(copied) && row < height; ++row) {
            const BYTE* from = levels.data() + static_cast<size_t>(row) * width;
            auto* to = static_cast<BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(row) * data.Stride;
            for (UINT col = 0; col < width; ++col, to += 3)
                to[0] = to[1] = to[2] = from[col];
        }
    }
    GdipBitmapUnlockBits(image.Get(), &data);
    return SUCCEEDED(copied) ? std::move(image) : CGdiBitmap();
}

// None unless GDI+ (or, for a JPEG, the system's JPEG decoder) reads a
// picture with pixels from the bytes.
CGdiBitmap DecodePictureBytes(const unsigned char* bytes, size_t size)
{
    IStream* stream = SHCreateMemStream(bytes, static_cast<UINT>(size));
    if (!stream)
        return CGdiBitmap();
    if (size > 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
        CGdiBitmap direct = DecodeJpegDirect(stream);
        if (direct) {
            stream->Release();
            return direct;
        }
        const LARGE_INTEGER start = {};
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
    }
    GpBitmap* image = nullptr;
    if (GdipCreateBitmapFromStream(stream, &image) != Ok)
        image = nullptr;
    stream->Release();
    return Checked(image);
}

// A 24-bit GDI+ bitmap of width x height pixels, each three bytes at from
// (red first when rgb, else blue first), rows from the top.
CGdiBitmap BitmapOf(unsigned width, unsigned height, const uint8_t* from, bool rgb)
{
    GpBitmap* made = nullptr;
    GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height), 0, PixelFormat24bppRGB, nullptr,
                              &made);
    CGdiBitmap image(made);
    if (!image)
        return image;
    GpRect all = {0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    BitmapData data = {};
    if (GdipBitmapLockBits(image.Get(), &all, ImageLockModeWrite, PixelFormat24bppRGB, &data) != Ok)
        return CGdiBitmap();
    // GDI+ keeps 24-bit pixels as blue, green, red.
    for (UINT row = 0; row < height; ++row) {
        auto* to = static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(row) * data.Stride;
        for (UINT col = 0; col < width; ++col, from += 3, to += 3) {
            to[0] = from[rgb ? 2 : 0];
            to[1] = from[1];
            to[2] = from[rgb ? 0 : 2];
        }
    }
    GdipBitmapUnlockBits(image.Get(), &data);
    return image;
}

}  // namespace

std::string ReadPictureHead(const CString& path)
{
    std::string head;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return head;
    head.resize(kHeadBytes);
    DWORD read = 0;
    if (!ReadFile(file, &head[0], kHeadBytes, &read, nullptr))
        read = 0;
    head.resize(read);
    CloseHandle(file);
    return head;
}

CGdiBitmap DecodePictureFile(const CString& path)
{
    const std::wstring wide = ToWide(path);
    GpBitmap* image = nullptr;
    if (wide.empty() || GdipCreateBitmapFromFile(wide.c_str(), &image) != Ok)
        return CGdiBitmap();
    return Checked(image);
}

CGdiBitmap DecodeJpegEighth(const CString& path, bool partial)
{
    return DecodeJpegEighthRange(path, 0, UINT64_MAX, partial);
}

CGdiBitmap DecodeJpegEighthRange(const CString& path, uint64_t offset, uint64_t length, bool partial)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return CGdiBitmap();
    LARGE_INTEGER size = {};
    qv::DcPicture picture;
    bool decoded = false;
    if (GetFileSizeEx(file, &size) && offset <= static_cast<uint64_t>(size.QuadPart)) {
        // What lies past the file's end is not there.
        length = std::min(length, static_cast<uint64_t>(size.QuadPart) - offset);
        FileView view(file, offset, length);
        decoded = qv::jpegDcPicture(view, length, picture, partial);
    }
    CloseHandle(file);
    if (!decoded)
        return CGdiBitmap();

    return BitmapOf(picture.width, picture.height, picture.rgb.data(), true);
}

DecodedPicture DecodeBmpSampled(const CString& path, unsigned minWidth, unsigned minHeight)
{
    const std::string none;
    CFileBytes file(path, none);
    SampledPicture picture;
    if (!SampleBmp(file, minWidth, minHeight, picture))
        return DecodedPicture();
    return DecodedPicture::Whole(BitmapOf(picture.width, picture.height, picture.bgr.data(), false),
                                 picture.fullWidth, picture.fullHeight);
}

DecodedPicture DecodeTiffSampled(const CString& path, unsigned minWidth, unsigned minHeight)
{
    const std::string none;
    CFileBytes file(path, none);
    SampledPicture picture;
    if (!SampleTiff(file, minWidth, minHeight, picture))
        return DecodedPicture();
    return DecodedPicture::Whole(BitmapOf(picture.width, picture.height, picture.bgr.data(), false),
                                 picture.fullWidth, picture.fullHeight);
}

DecodedPicture InShapeOf(CGdiBitmap image, unsigned width, unsigned height)
{
    DecodedPicture picture;
    if (!image)
        return picture;
    if (width == 0 || height == 0)
        return DecodedPicture::Whole(std::move(image));
    const UINT tw = image.Width();
    const UINT th = image.Height();

    const double photo = static_cast<double>(width) / height;
    int x = 0, y = 0, w = static_cast<int>(tw), h = static_cast<int>(th);
    if (static_cast<double>(tw) / th > photo * 1.01) {
        w = static_cast<int>(th * photo + 0.5);
        x = (static_cast<int>(tw) - w) / 2;
    } else if (static_cast<double>(tw) / th < photo / 1.01) {
        h = static_cast<int>(tw / photo + 0.5);
        y = (static_cast<int>(th) - h) / 2;
    }
    if (w <= 0 || h <= 0)
        return picture;
    picture.image = std::move(image);
    picture.srcX = x;
    picture.srcY = y;
    picture.srcWidth = w;
    picture.srcHeight = h;
    picture.width = width;
    picture.height = height;
    return picture;
}

DecodedPicture DecodeEmbeddedCopy(const std::string& head, size_t offset, size_t length, unsigned width,
                                  unsigned height)
{
    if (length == 0 || width == 0 || height == 0 || offset > head.size() || length > head.size() - offset)
        return DecodedPicture();
    const auto* bytes = reinterpret_cast<const unsigned char*>(head.data());
    return InShapeOf(DecodePictureBytes(bytes + offset, length), width, height);
}

CGdiBitmap DecodeFileRange(const CString& path, uint64_t offset, uint64_t length)
{
    // A camera's largest JPEG is a few megabytes; nothing sound is larger.
    const uint64_t kMaxLength = 64ull * 1024 * 1024;
    if (length < 4 || length > kMaxLength)
        return CGdiBitmap();
    const std::string none;
    CFileBytes file(path, none);
    std::vector<unsigned char> bytes(static_cast<size_t>(length));
    if (!file.Read(offset, bytes.size(), bytes.data()))
        return CGdiBitmap();
    return DecodePictureBytes(bytes.data(), bytes.size());
}

CJpegDecoderAtHand::CJpegDecoderAtHand()
{
    // One held on the thread already stays the thread's.
    m_holds = !t_jpegDecoders &&
              SUCCEEDED(CoGetClassObject(CLSID_WICJpegDecoder, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                         reinterpret_cast<void**>(&t_jpegDecoders))) &&
              t_jpegDecoders;
}

CJpegDecoderAtHand::~CJpegDecoderAtHand()
{
    if (!m_holds)
        return;
    t_jpegDecoders->Release();
    t_jpegDecoders = nullptr;
}

CFileBytes::CFileBytes(const CString& path, const std::string& head)
    : m_file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr)),
      m_head(head)
{
    LARGE_INTEGER size = {};
    if (m_file != INVALID_HANDLE_VALUE && GetFileSizeEx(m_file, &size))
        m_size = static_cast<uint64_t>(size.QuadPart);
}

CFileBytes::~CFileBytes()
{
    if (m_file != INVALID_HANDLE_VALUE)
        CloseHandle(m_file);
}

bool CFileBytes::Read(uint64_t offset, size_t length, unsigned char* to)
{
    if (offset > m_size || length > m_size - offset)
        return false;
    if (offset <= m_head.size() && length <= m_head.size() - offset) {
        if (length)
            memcpy(to, m_head.data() + offset, length);
        return true;
    }
    if (m_file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER to64;
    to64.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(m_file, to64, nullptr, FILE_BEGIN))
        return false;
    while (length > 0) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(length, 16u * 1024 * 1024));
        DWORD read = 0;
        if (!ReadFile(m_file, to, piece, &read, nullptr) || read == 0)
            return false;
        to += read;
        length -= read;
    }
    return true;
}
