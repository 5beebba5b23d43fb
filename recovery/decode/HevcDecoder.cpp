#include "HevcDecoder.h"

#include <libde265/de265.h>
#include <libheif/heif.h>
#include <libheif/heif_plugin.h>

#include "DllFunctions.h"

#include <cstdint>
#include <cstring>

namespace {

struct Functions {
    decltype(&de265_init) init;
    decltype(&de265_free) release;
    decltype(&de265_new_decoder) newDecoder;
    decltype(&de265_free_decoder) freeDecoder;
    decltype(&de265_push_NAL) pushNal;
    decltype(&de265_flush_data) flush;
    decltype(&de265_decode) decode;
    decltype(&de265_get_next_picture) nextPicture;
    decltype(&de265_release_next_picture) releasePicture;
    decltype(&de265_get_chroma_format) chroma;
    decltype(&de265_get_image_width) width;
    decltype(&de265_get_image_height) height;
    decltype(&de265_get_bits_per_pixel) bits;
    decltype(&de265_get_image_plane) plane;
    decltype(&de265_get_image_full_range_flag) fullRange;
    decltype(&de265_get_image_colour_primaries) primaries;
    decltype(&de265_get_image_transfer_characteristics) transfer;
    decltype(&de265_get_image_matrix_coefficients) matrix;

    decltype(&heif_image_create) imageCreate;
    decltype(&heif_image_add_plane) addPlane;
    decltype(&heif_image_get_plane) imagePlane;
    decltype(&heif_image_release) imageRelease;
    decltype(&heif_nclx_color_profile_alloc) nclxAlloc;
    decltype(&heif_nclx_color_profile_free) nclxFree;
    decltype(&heif_nclx_color_profile_set_color_primaries) setPrimaries;
    decltype(&heif_nclx_color_profile_set_transfer_characteristics) setTransfer;
    decltype(&heif_nclx_color_profile_set_matrix_coefficients) setMatrix;
    decltype(&heif_image_set_nclx_color_profile) setNclx;
    decltype(&heif_register_decoder_plugin) registerPlugin;
};

Functions g_f;

heif_error Failed(heif_suberror_code why, const char* message)
{
    return {heif_error_Decoder_plugin_error, why, message};
}

const heif_error kOk = {heif_error_Ok, heif_suberror_Unspecified, "Success"};

const char* Name() { return "libde265 HEVC decoder, one picture at a time"; }
void Init() { g_f.init(); }
void Deinit() { g_f.release(); }

int Supports(heif_compression_format format)
{
    // Above libheif's own libde265 decoder (100).
    return format == heif_compression_HEVC ? 200 : 0;
}

heif_error NewDecoder(void** decoder)
{
    // No worker threads: the picture is decoded on the caller's thread.
    de265_decoder_context* context = g_f.newDecoder();
    if (!context)
        return Failed(heif_suberror_Unspecified, "libde265 could not start");
    *decoder = context;
    return kOk;
}

void FreeDecoder(void* decoder)
{
    g_f.freeDecoder(static_cast<de265_decoder_context*>(decoder));
}

// The coded picture as libheif gives it: NAL units, each after its length
// in four bytes (big-endian).
heif_error PushData(void* decoder, const void* data, size_t size)
{
    auto* context = static_cast<de265_decoder_context*>(decoder);
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t at = 0;
    while (at < size) {
        if (size - at < 4)
            return Failed(heif_suberror_End_of_data, "NAL length cut short");
        const uint32_t length = static_cast<uint32_t>(bytes[at]) << 24 | static_cast<uint32_t>(bytes[at + 1]) << 16 |
                                static_cast<uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
        at += 4;
        if (length > size - at || length > 0x7FFFFFFFu)
            return Failed(heif_suberror_End_of_data, "NAL unit past the data's end");
        if (g_f.pushNal(context, bytes + at, static_cast<int>(length), 0, nullptr) != DE265_OK)
            return Failed(heif_suberror_Unspecified, "libde265 refused a NAL unit");
        at += length;
    }
    return kOk;
}

// libde265's picture as a heif_image of the same planes (Y, Cb, Cr, or Y
// alone) and the colour description its stream gives.
heif_error ToHeifImage(const de265_image* picture, heif_image** out)
{
    const bool mono = g_f.chroma(picture) == de265_chroma_mono;
    heif_image* image = nullptr;
    heif_error error = g_f.imageCreate(g_f.width(picture, 0), g_f.height(picture, 0),
                                       mono ? heif_colorspace_monochrome : heif_colorspace_YCbCr,
                                       static_cast<heif_chroma>(g_f.chroma(picture)), &image);
    if (error.code != heif_error_Ok)
        return error;
    const heif_channel channels[3] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    const int bits = g_f.bits(picture, 0);
    for (int c = 0; c < (mono ? 1 : 3); ++c) {
        const int w = g_f.width(picture, c), h = g_f.height(picture, c);
        int fromStride = 0;
        const uint8_t* from = g_f.plane(picture, c, &fromStride);
        if (g_f.bits(picture, c) != bits || w <= 0 || h <= 0 || !from) {
            g_f.imageRelease(image);
            return Failed(heif_suberror_Unsupported_color_conversion, "unusual planes");
        }
        error = g_f.addPlane(image, channels[c], w, h, bits);
        int toStride = 0;
        uint8_t* to = error.code == heif_error_Ok ? g_f.imagePlane(image, channels[c], &toStride) : nullptr;
        if (!to) {
            g_f.imageRelease(image);
            return error.code != heif_error_Ok ? error : Failed(heif_suberror_Unspecified, "no plane");
        }
        const size_t rowBytes = static_cast<size_t>(w) * ((bits + 7) / 8);
        for (int y = 0; y < h; ++y)
            std::memcpy(to + static_cast<ptrdiff_t>(y) * toStride, from + static_cast<ptrdiff_t>(y) * fromStride, rowBytes);
    }
    heif_color_profile_nclx* nclx = g_f.nclxAlloc();
    if (nclx) {
        // A value libheif does not know leaves it unspecified.
        g_f.setPrimaries(nclx, static_cast<uint16_t>(g_f.primaries(picture)));
        g_f.setTransfer(nclx, static_cast<uint16_t>(g_f.transfer(picture)));
        g_f.setMatrix(nclx, static_cast<uint16_t>(g_f.matrix(picture)));
        nclx->full_range_flag = static_cast<uint8_t>(g_f.fullRange(picture) != 0);
        g_f.setNclx(image, nclx);
        g_f.nclxFree(nclx);
    }
    *out = image;
    return kOk;
}

heif_error DecodeImage(void* decoder, heif_image** out)
{
    auto* context = static_cast<de265_decoder_context*>(decoder);
    *out = nullptr;
    g_f.flush(context);
    // The last picture the data holds (a HEIC item holds one).
    int more = 0;
    do {
        more = 0;
        if (g_f.decode(context, &more) != DE265_OK)
            break;
        if (const de265_image* picture = g_f.nextPicture(context)) {
            heif_image* image = nullptr;
            const heif_error error = ToHeifImage(picture, &image);
            g_f.releasePicture(context);
            if (error.code != heif_error_Ok) {
                if (*out)
                    g_f.imageRelease(*out);
                *out = nullptr;
                return error;
            }
            if (*out)
                g_f.imageRelease(*out);
            *out = image;
        }
    } while (more);
    return *out ? kOk : Failed(heif_suberror_Unspecified, "no picture decoded");
}

const heif_decoder_plugin kPlugin = {
    1, &Name, &Init, &Deinit, &Supports, &NewDecoder, &FreeDecoder, &PushData, &DecodeImage,
    nullptr, nullptr,
};

}  // namespace

bool RegisterHevcDecoder(HMODULE libheif, HMODULE libde265)
{
    CDllFunctions de265(libde265);
    de265(g_f.init, "de265_init");
    de265(g_f.release, "de265_free");
    de265(g_f.newDecoder, "de265_new_decoder");
    de265(g_f.freeDecoder, "de265_free_decoder");
    de265(g_f.pushNal, "de265_push_NAL");
    de265(g_f.flush, "de265_flush_data");
    de265(g_f.decode, "de265_decode");
    de265(g_f.nextPicture, "de265_get_next_picture");
    de265(g_f.releasePicture, "de265_release_next_picture");
    de265(g_f.chroma, "de265_get_chroma_format");
    de265(g_f.width, "de265_get_image_width");
    de265(g_f.height, "de265_get_image_height");
    de265(g_f.bits, "de265_get_bits_per_pixel");
    de265(g_f.plane, "de265_get_image_plane");
    de265(g_f.fullRange, "de265_get_image_full_range_flag");
    de265(g_f.primaries, "de265_get_image_colour_primaries");
    de265(g_f.transfer, "de265_get_image_transfer_characteristics");
    de265(g_f.matrix, "de265_get_image_matrix_coefficients");
    CDllFunctions heif(libheif);
    heif(g_f.imageCreate, "heif_image_create");
    heif(g_f.addPlane, "heif_image_add_plane");
    heif(g_f.imagePlane, "heif_image_get_plane");
    heif(g_f.imageRelease, "heif_image_release");
    heif(g_f.nclxAlloc, "heif_nclx_color_profile_alloc");
    heif(g_f.nclxFree, "heif_nclx_color_profile_free");
    heif(g_f.setPrimaries, "heif_nclx_color_profile_set_color_primaries");
    heif(g_f.setTransfer, "heif_nclx_color_profile_set_transfer_characteristics");
    heif(g_f.setMatrix, "heif_nclx_color_profile_set_matrix_coefficients");
    heif(g_f.setNclx, "heif_image_set_nclx_color_profile");
    heif(g_f.registerPlugin, "heif_register_decoder_plugin");
    if (!de265.Complete() || !heif.Complete())
        return false;
    return g_f.registerPlugin(&kPlugin).code == heif_error_Ok;
}
