// libde265 as libheif's HEVC decoder, set up for pictures rather than
// video: one coded picture at a time on the caller's own thread. libheif's
// own libde265 decoder starts a worker thread for every picture it decodes
// (a HEIC's thumbnail item, each tile of its grid) and hands the picture's
// filters to it, which costs more than the decode of a small picture.
// Registered with libheif above its own; the pictures come out as libheif's
// do (the same planes, the same colour description), so libheif turns,
// joins and converts them as before.
#pragma once

#include <windows.h>

// Registers the decoder with libheif (functions looked up in libheif and
// libde265, both loaded); false, and nothing registered, when either lacks
// one: libheif then decodes HEVC with its own.
bool RegisterHevcDecoder(HMODULE libheif, HMODULE libde265);
