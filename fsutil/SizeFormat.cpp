#include "SizeFormat.h"

#include <cstdint>

CString FormatSize(long long nBytes)
{
    CString str;
    if (nBytes < 0)
        str.Format("%d bytes", static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(nBytes)))));
    else if (nBytes > 1073741824LL)
        str.Format("%.1f GB", static_cast<double>(nBytes) / 1073741824.0);
    else if (nBytes > 1048576LL)
        str.Format("%.1f MB", static_cast<double>(nBytes) / 1048576.0);
    else if (nBytes > 1024LL)
        str.Format("%.1f KB", static_cast<double>(nBytes) * 0.0009765625);
    else
        str.Format("%d bytes", static_cast<int>(nBytes));
    return str;
}
