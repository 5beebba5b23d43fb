// The decoders of the kinds of picture file the window shows, one chosen
// by the picture's type. Each says what a file's first bytes tell of its
// picture and how its pixels are had: whole, as a cheaper smaller copy, or,
// for a damaged one, what can be had of it. A new format is one more
// decoder here; the thumbnails and the preview take it up unchanged.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "DecodedPicture.h"
#include "Framework.h"
#include "PictureType.h"
#include "RawLayout.h"

// What a file's first bytes tell of its picture.
struct PictureHead {
    // The picture's own size as its pixels are stored (a RAW's sensor);
    // 0 when not told.
    unsigned width = 0, height = 0;
    std::string taken;               // "YYYY:MM:DD HH:MM:SS", local time; or empty
    std::string camera;              // make and model; or empty
    std::string lens;                // or empty
    // How the stored pixels are turned to stand upright (Exif orientation
    // 1 to 8); 0 or 1 when they stand as stored.
    unsigned orientation = 0;
    // The JPEG pictures a camera's RAW carries of itself.
    std::vector<EmbeddedJpeg> jpegs;
    // The plain RGB copies it carries (a DNG's thumbnail).
    std::vector<RgbCopy> rgbCopies;
    // A small copy of the picture the file carries (a camera's Exif
    // thumbnail), as a range of those bytes; length 0 when none.
    size_t copyOffset = 0;
    size_t copyLength = 0;
    // What the decoder keeps of the file from its reading of the head to
    // its pictures (libheif's reading of a HEIC's boxes); or nothing.
    std::shared_ptr<const void> held;
};

class CPictureDecoder {
public:
    // Whether the first bytes are worth reading: not at all, for the
    // details only, or for drawing too (they hold a small copy).
    enum class HeadUse { None, Details, Drawing };

    virtual ~CPictureDecoder() = default;

    // False for a type shown with the placeholder: listed and recovered,
    // never drawn.
    virtual bool Draws() const = 0;
    // True for a type drawn only from the pictures its files carry of
    // themselves (a camera's RAW): one without any is not damaged, it has
    // nothing to show, and its details stand without a picture.
    virtual bool DrawsCarriedOnly() const { return false; }
    virtual HeadUse ReadsHead() const { return HeadUse::None; }
    // What the file's first bytes tell (head starts as read; fields not
    // found stay). A decoder may read further into the file at path.
    virtual void ReadHead(const CString& path, const std::string& bytes, PictureHead& head) const;
    // A copy cheaper to have than the whole picture and at least
    // minWidth x minHeight, standing for the picture the head tells; empty
    // when there is none.
    virtual DecodedPicture Reduced(const CString& path, const PictureHead& head, unsigned minWidth,
                                   unsigned minHeight) const;
    // The whole picture at its own size (a RAW's largest JPEG); empty when
    // it does not decode.
    virtual DecodedPicture Whole(const CString& path, const PictureHead& head) const;
    // What can be had of a picture whose whole decode failed, standing for
    // the picture the head tells (when it was read); empty when nothing.
    virtual DecodedPicture Salvage(const CString& path, const PictureHead& head) const;
};

// The decoder for a type; every type has one.
const CPictureDecoder& PictureDecoderFor(PictureType type);

// "Canon" and "Canon EOS 5D" make "Canon EOS 5D": cameras repeat their
// make in the model.
std::string CameraName(const std::string& make, const std::string& model);
