// The details view's columns: their titles and widths, what each says of a
// picture, and how a click on a header sorts (the Sort box's order where it
// has one, a second click the other way round).
#pragma once

#include "Framework.h"
#include "PictureItems.h"
#include "PictureView.h"

enum PictureColumn { kColumnName, kColumnFolder, kColumnState, kColumnType, kColumnDimensions, kColumnSize,
                     kColumnDate, kColumnCamera, kPictureColumns };

const char* ColumnTitle(int column);
// Width in pixels at 96 DPI.
int ColumnWidth(int column);
// What the column says of the item.
CString ColumnText(const CPictureItems& items, int item, int column);
// The order a click on the column's header gives when the list is in
// order now: the column's first order, or its other when it has it.
PictureSort HeaderSort(int column, PictureSort now);
// The column that order sorts by (-1 for the order found), and whether it
// goes up (A to Z, oldest, smallest first).
int SortColumn(PictureSort sort, bool& up);
