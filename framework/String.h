// The 8-bit string of the program: text in the system's ANSI code page.
// A thin value type over std::string with the operations the windows use.
#pragma once

#include <cstdarg>
#include <string>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}
    CString(const char* text, int length) : m_text(text, static_cast<size_t>(length)) {}
    CString(const std::string& text) : m_text(text) {}
    CString(std::string&& text) : m_text(std::move(text)) {}

    operator const char*() const { return m_text.c_str(); }
    const char* GetString() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    char GetAt(int index) const { return m_text[static_cast<size_t>(index)]; }

    CString& operator=(const char* text) { m_text = text ? text : ""; return *this; }
    CString& operator+=(const char* text) { m_text += text ? text : ""; return *this; }
    CString& operator+=(const CString& text) { m_text += text.m_text; return *this; }
    CString& operator+=(char c) { m_text += c; return *this; }

    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_text + b.m_text); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.m_text + (b ? b : "")); }
    friend CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.m_text); }

    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b) { return a.m_text == (b ? b : ""); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_text < b.m_text; }

    // Index of the first occurrence at or after start, or -1.
    int Find(const char* sub, int start = 0) const;
    int Find(char c, int start = 0) const;
    // Index of the last occurrence, or -1.
    int ReverseFind(char c) const;

    CString Left(int count) const;
    CString Mid(int first, int count = -1) const;
    CString Right(int count) const;

    void MakeLower();

    // printf-style formatting of the whole string.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* format, va_list args);

private:
    std::string m_text;
};
