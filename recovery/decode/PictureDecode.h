// Reading found files with GDI+, for the decoders: the first bytes of a
// file, a decode that yields only pictures with pixels, a baseline JPEG's
// eighth, and a camera photo's own small Exif copy of itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "DecodedPicture.h"
#include "Framework.h"
#include "RawLayout.h"

// The first 128 KiB: the Exif block (at most 64 KiB) and what cameras put
// before the frame.
std::string ReadPictureHead(const CString& path);
// None unless GDI+ reads a picture with pixels.
CGdiBitmap DecodePictureFile(const CString& path);
// A JPEG at an eighth of its width and height, from each block's DC alone
// (a progressive one's from its first scans, when they hold every DC): for a thumbnail of a large photo without an Exif thumbnail, a
// small part of a whole decode's time and memory. None for any other file,
// or one whose data does not decode to its end; with partial, a JPEG whose
// data stops fitting part-way gives its whole rows before that, the rest
// grey (a damaged photo shows what can be had of it).
CGdiBitmap DecodeJpegEighth(const CString& path, bool partial = false);
// The same of a JPEG kept inside a file, at offset, length bytes (a RAW's
// full-sized preview): its thumbnail without a whole decode.
CGdiBitmap DecodeJpegEighthRange(const CString& path, uint64_t offset, uint64_t length, bool partial = false);

// A large uncompressed BMP at a whole fraction of its size, at least
// minWidth x minHeight, from the rows a box filter samples alone, standing
// for the whole picture. Empty for any other file, or one too small to be
// worth it.
DecodedPicture DecodeBmpSampled(const CString& path, unsigned minWidth, unsigned minHeight);
// The same of a large uncompressed RGB TIFF, from the rows of its strips.
DecodedPicture DecodeTiffSampled(const CString& path, unsigned minWidth, unsigned minHeight);

// A small copy of a picture held in its file's first bytes (a camera's
// Exif thumbnail, at offset, length bytes), standing for the picture of
// width x height: the part of it in the picture's shape (cameras pad one of
// another shape with bars). Empty when the range is not within the bytes
// or does not decode.
DecodedPicture DecodeEmbeddedCopy(const std::string& head, size_t offset, size_t length, unsigned width,
                                  unsigned height);

// The image standing for a picture of width x height: the part of it in
// that picture's shape (cameras pad a copy of another shape with bars), or
// the whole of it when the size is not known. Empty for no image.
DecodedPicture InShapeOf(CGdiBitmap image, unsigned width, unsigned height);

// A JPEG (or other picture) kept inside a file, at offset, length bytes:
// read alone, the rest of the file untouched. None when the range is not
// within the file or does not decode.
CGdiBitmap DecodeFileRange(const CString& path, uint64_t offset, uint64_t length);

// Holds the system's JPEG decoder maker on a thread that decodes one
// picture after another (a thumbnail worker), from after the thread starts
// COM until before it ends it: each JPEG copy is then decoded without
// looking the decoder up in the registry again (about eight requests to
// the Wine server a picture). Threads without one look it up each time.
class CJpegDecoderAtHand {
public:
    CJpegDecoderAtHand();
    ~CJpegDecoderAtHand();
    CJpegDecoderAtHand(const CJpegDecoderAtHand&) = delete;
    CJpegDecoderAtHand& operator=(const CJpegDecoderAtHand&) = delete;

private:
    bool m_holds = false;
};

// A file's bytes for the portable readers: the first bytes already read
// (head) are served from memory, the rest read where asked.
class CFileBytes : public ByteSource {
public:
    CFileBytes(const CString& path, const std::string& head);
    ~CFileBytes() override;
    CFileBytes(const CFileBytes&) = delete;
    CFileBytes& operator=(const CFileBytes&) = delete;
    uint64_t Size() const override { return m_size; }
    bool Read(uint64_t offset, size_t length, unsigned char* to) override;

private:
    void* m_file;
    uint64_t m_size = 0;
    const std::string& m_head;
};
