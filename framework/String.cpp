#include "String.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {
int ToIndex(size_t pos) { return pos == std::string::npos ? -1 : static_cast<int>(pos); }
size_t Clamp(int value, size_t size) { return value < 0 ? 0 : std::min(static_cast<size_t>(value), size); }
}

int CString::Find(const char* sub, int start) const
{
    return ToIndex(m_text.find(sub ? sub : "", Clamp(start, m_text.size())));
}

int CString::Find(char c, int start) const
{
    return ToIndex(m_text.find(c, Clamp(start, m_text.size())));
}

int CString::ReverseFind(char c) const
{
    return ToIndex(m_text.rfind(c));
}

CString CString::Left(int count) const
{
    return CString(m_text.substr(0, Clamp(count, m_text.size())));
}

CString CString::Mid(int first, int count) const
{
    size_t from = Clamp(first, m_text.size());
    return CString(m_text.substr(from, count < 0 ? std::string::npos : static_cast<size_t>(count)));
}

CString CString::Right(int count) const
{
    size_t n = Clamp(count, m_text.size());
    return CString(m_text.substr(m_text.size() - n));
}

void CString::MakeLower()
{
    for (char& c : m_text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed < 0) {
        m_text.clear();
        return;
    }
    std::string text(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(needed));
    m_text = std::move(text);
}
