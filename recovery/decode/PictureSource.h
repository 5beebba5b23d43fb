// One found file opened as a picture: what is known of it and its pixels,
// read through the decoder its type chooses. The thumbnails and the preview
// both read finds through it; each asks for the pictures it wants in the
// order it prefers them. The file's first bytes are read once, and only
// when something asked for needs them. Every picture given and every size
// told stands upright, as the file's Exif orientation says it is shown
// (the file itself is never changed). Used on one thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "DecodedPicture.h"
#include "Framework.h"
#include "PictureDecoder.h"
#include "PictureType.h"

// What is known of a picture file.
struct PictureDetails {
    uint64_t bytes = 0;
    unsigned width = 0;   // pixels; 0 when it did not decode
    unsigned height = 0;
    uint64_t written = 0;  // the file's last write time (UTC, FILETIME units)
    std::string taken;     // Exif "YYYY:MM:DD HH:MM:SS", local time; or empty
    std::string camera;    // Exif make and model; or empty
    std::string lens;      // Exif lens model; or empty
};

class CPictureSource {
public:
    // Reads the file's size and time; the rest when asked for.
    explicit CPictureSource(const CString& path);

    PictureType Type() const { return m_type; }
    // False for a type shown with the placeholder.
    bool Draws() const { return m_decoder.Draws(); }
    // True for a type drawn only from the pictures its files carry (a
    // camera's RAW): without one it is not damaged, and its size in the
    // details is the one its tags tell.
    bool DrawsCarriedOnly() const { return m_decoder.DrawsCarriedOnly(); }
    uint64_t Bytes() const { return m_details.bytes; }
    // The file's size and time, the date, camera and lens its first bytes
    // tell, and the size of the picture the last one had from here stands
    // for (0 before one was had); a RAW's sensor size as its tags tell it
    // (0 when they do not).
    const PictureDetails& Details();

    // The picture's own size as its first bytes tell it (a JPEG's frame,
    // a RAW's sensor), upright; false when they do not.
    bool HeadSize(unsigned& width, unsigned& height);
    // The small copy the file carries of itself (a camera's Exif
    // thumbnail), standing for the whole picture; empty when none decodes.
    DecodedPicture SmallCopy();
    // A copy at least minWidth x minHeight (upright) cheaper than the whole
    // picture (a RAW's smallest JPEG that large); empty when the decoder
    // has none.
    DecodedPicture Reduced(unsigned minWidth, unsigned minHeight);
    // The whole picture; empty when it does not decode or is not drawn.
    DecodedPicture Whole();
    // What can be had of a damaged picture; empty when nothing.
    DecodedPicture Salvage();

private:
    // Reads the first bytes once, when the decoder uses them for use.
    void ReadHead(CPictureDecoder::HeadUse use);
    // Turns the picture upright and takes the size it stands for.
    DecodedPicture Had(DecodedPicture picture);
    bool TurnsOver() const { return m_head.orientation >= 5 && m_head.orientation <= 8; }

    CString m_path;
    PictureType m_type;
    const CPictureDecoder& m_decoder;
    PictureDetails m_details;
    bool m_headRead = false;
    std::string m_headBytes;
    PictureHead m_head;
};
