// The short size text of the drive list's Capacity column.
#pragma once

#include "String.h"

// Bytes, KB, MB or GB (powers of 1024) with one decimal; GB is the largest unit.
CString FormatSize(long long nBytes);
