// Resource ids shared by Resources.rc and the program's code.
// Included by the resource compiler too: keep to plain #define lines.
#ifndef QUORVANE_RESOURCE_H
#define QUORVANE_RESOURCE_H

// Dialog templates
#define IDD_RECOVERY            102
#define IDD_SETTINGS            132

// Images
#define IDB_SKIN                129
#define IDI_APP                 130
#define IDC_LINK_CURSOR         131

// Main window (IDD_RECOVERY) items
#define IDC_BROWSE              1000
#define IDC_DRIVE_LIST          1001
#define IDC_RECOVER             1002
#define IDC_SAVE_DIR            1003
#define IDC_NEXT                1004
#define IDC_SAVE_DIR_LABEL      1005
#define IDC_SELECT_DRIVE_LABEL  1008
#define IDC_RELOAD              1009
#define IDC_PICTURE_LIST        1010
#define IDC_PROGRESS            1011
#define IDC_PROGRESS_TEXT       1012
#define IDC_STATUS              1013
#define IDC_HELP_LINK           1014
#define IDC_SETTINGS_LINK       1015
#define IDC_LOADING             1016
#define IDC_SELECT_ALL          1018
// Made at run time, not in the template: the search's progress line.
#define IDC_SEARCH_PROGRESS     1021
// Also made at run time: the filter bar above the picture list, the count
// line beside the select-all label.
#define IDC_FILTER_BAR          1022
#define IDC_PICTURE_COUNT       1023
// Also made at run time: the results view's way back to the drive list, and
// the Ready view's link to the pictures of the last search.
#define IDC_NEW_SEARCH          1024
#define IDC_LAST_SEARCH         1025
// How Recover arranges the pictures, after New search in its row.
#define IDC_ARRANGEMENT         1026
// Also made at run time, under Next in the Ready view: the copy of the disk
// kept while searching (a check box, its folder, its Browse).
#define IDC_COPY_DISK           1040
#define IDC_COPY_PLACE          1041
#define IDC_COPY_BROWSE         1042
// After Reload: a saved copy of a disk picked by hand.
#define IDC_OPEN_COPY           1043

// Settings dialog (IDD_SETTINGS) items; the ids overlap the main window's
// on purpose: each dialog has its own id space.
#define IDC_DEFAULT             1015
#define IDC_FORMAT_JPG          1016
#define IDC_FORMAT_GIF          1017
#define IDC_FORMAT_PNG          1018
#define IDC_FORMAT_BMP          1019
#define IDC_FORMAT_TIF          1020
#define IDC_FORMAT_RAW          1021
#define IDC_FORMAT_HEIC         1022
#define IDC_FORMAT_AVIF         1023
#define IDC_FORMAT_WEBP         1024

// Strings. The framework takes the application's name from this entry.
#define IDS_APP_TITLE           0xE000

#endif
