// The decoders of the formats GDI+ cannot read, through the libraries made
// for them and shipped beside the program as DLLs: HEIC/HEIF and AVIF
// through libheif (libde265 for HEVC, dav1d for AV1), WebP through libwebp
// (with libwebpdemux for an animation's first frame).
//
// The DLLs are loaded on first use from the program's own folder only, never
// from the search path, and every function is looked up by name: a missing
// DLL or function leaves those types undrawn (the placeholder, as for RAW),
// never the program unstarted. libheif reads a file (at most
// kLibraryFileLimit bytes) through a reader of ours, only the boxes and the
// items it needs (a thumbnail, the Exif item: a few KB for the details);
// a WebP is read whole into memory. The picture's size is checked before
// any pixels are asked for, and every
// library call's result is checked. A file a library refuses is simply not
// drawn: callers never try it again in a loop.
#pragma once

#include <cstdint>

#include "PictureDecoder.h"

// Larger files are not handed to the libraries (a phone's HEIC is 1-5 MB).
const uint64_t kLibraryFileLimit = 256ull * 1024 * 1024;
// Nor pictures with more pixels than this (a 200-megapixel phone photo fits).
const uint64_t kLibraryPixelLimit = 256ull * 1024 * 1024;

// The decoder of HEIC/HEIF or AVIF files; draws when libheif.dll loads.
const CPictureDecoder& HeifPictureDecoder();
// The decoder of WebP files; draws when libwebp.dll loads.
const CPictureDecoder& WebpPictureDecoder();
