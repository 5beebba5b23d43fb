// The words the window uses for what is known of a find: its tooltip and
// the preview's details, and the count line above the list.
#pragma once

#include <cstdint>
#include <string>

#include "Framework.h"
#include "PictureItems.h"

// A local time in FILETIME units as the user's settings write a date and
// time.
CString LocalDateText(uint64_t localTime);
// 38512 as "38,512".
CString GroupedNumber(uint64_t number);
// Several lines ("\r\n" between them): name, folder, state, type and size,
// date (the record's, else the date taken), the date taken where the record
// gave another, camera, lens; only what is known.
CString DescribePicture(const CPictureItems& items, int item);
// A deleted short name whose first letter the file system replaced:
// "_MG_0123.jpg", "_00CANON"; an 8.3 shape starting with '_'.
bool LooksLikeLostFirstLetter(const std::string& name);
// Why a picture of a type this program does not draw shows the placeholder:
// "Quorvane cannot show HEIC pictures; Recover copies the file as it was
// found.", or for a RAW that carries no preview picture: "This RAW file
// carries no preview picture to show; Recover copies the file as it was found."
CString CannotShowText(PictureType type);
// "1,240 of 38,512 pictures shown - 812 ticked (2.3 GB)".
CString CountLine(int shown, int found, int ticked, uint64_t tickedBytes);
