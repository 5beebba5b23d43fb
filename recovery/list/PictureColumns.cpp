#include "PictureColumns.h"

#include <windows.h>

#include "PictureDescription.h"
#include "SizeFormat.h"

namespace {

struct Column {
    const char* title;
    int width;
    PictureSort first;  // on the first click
    PictureSort second;
    bool firstUp;
};

const Column kColumns[kPictureColumns] = {
    {"Name", 180, PictureSort::Name, PictureSort::NameZtoA, true},
    {"Folder", 140, PictureSort::FolderAtoZ, PictureSort::FolderZtoA, true},
    {"State", 110, PictureSort::StateFirst, PictureSort::StateLast, true},
    {"Type", 50, PictureSort::TypeAtoZ, PictureSort::TypeZtoA, true},
    {"Dimensions", 90, PictureSort::LargestFirst, PictureSort::SmallestFirst, false},
    {"Size", 70, PictureSort::BytesLargestFirst, PictureSort::BytesSmallestFirst, false},
    {"Date", 140, PictureSort::NewestFirst, PictureSort::OldestFirst, false},
    {"Camera", 150, PictureSort::CameraAtoZ, PictureSort::CameraZtoA, true},
};

bool IsColumn(int column)
{
    return column >= 0 && column < kPictureColumns;
}

}  // namespace

const char* ColumnTitle(int column)
{
    return IsColumn(column) ? kColumns[column].title : "";
}

int ColumnWidth(int column)
{
    return IsColumn(column) ? kColumns[column].width : 0;
}

CString ColumnText(const CPictureItems& items, int item, int column)
{
    if (item < 0 || item >= items.Count())
        return CString();
    switch (column) {
    case kColumnName:
        return items.Name(item).c_str();
    case kColumnFolder:
        return items.Folder(item).c_str();
    case kColumnState:
        return items.State(item) == FindState::Deleted   ? "deleted"
               : items.State(item) == FindState::Present ? "present"
                                                         : "found by contents";
    case kColumnType:
        return PictureTypeName(items.Type(item));
    case kColumnDimensions: {
        if (items.Width(item) == 0)
            return CString();
        CString size;
        size.Format("%u x %u", items.Width(item), items.Height(item));
        return size;
    }
    case kColumnSize:
        return FormatSize(static_cast<long long>(items.Bytes(item)));
    case kColumnDate:
        return items.Date(item) ? LocalDateText(items.Date(item)) : CString();
    case kColumnCamera:
        return items.Camera(item).c_str();
    default:
        return CString();
    }
}

PictureSort HeaderSort(int column, PictureSort now)
{
    if (!IsColumn(column))
        return now;
    return now == kColumns[column].first ? kColumns[column].second : kColumns[column].first;
}

int SortColumn(PictureSort sort, bool& up)
{
    for (int column = 0; column < kPictureColumns; ++column) {
        if (sort == kColumns[column].first || sort == kColumns[column].second) {
            up = (sort == kColumns[column].first) == kColumns[column].firstUp;
            return column;
        }
    }
    up = true;
    return -1;
}
