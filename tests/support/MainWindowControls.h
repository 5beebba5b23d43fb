// The main window's controls that have no number of their own in its
// description, found the way a user finds them: by their text, their kind
// and their order (their ids are the program's own business). nullptr when
// the window has none.
#pragma once

#include <windows.h>

namespace uitest {

// The bar of filters above the picture list: the panel that holds the
// find box and the drop-down lists.
HWND FilterBar(HWND main);
// The line that counts the pictures shown, ticked and recovered, and the
// line that tells the search's progress: the last two text lines made,
// the search's first.
HWND CountLine(HWND main);
HWND SearchLine(HWND main);
// The drop-down list that chooses how the recovered pictures are arranged.
HWND ArrangementBox(HWND main);
// The copy of the disk: its check box, the folder it goes to (the second
// edit box, after the save folder's), its Browse (the second one) and
// "Open a copy".
HWND CopyCheck(HWND main);
HWND CopyPlace(HWND main);
HWND CopyBrowse(HWND main);
HWND OpenCopy(HWND main);

}  // namespace uitest
