// A kernel object's handle with one owner: closed once, when its owner goes
// or takes another. Either "no handle" value (null or INVALID_HANDLE_VALUE)
// stands for none.
#pragma once

#include <windows.h>

class CHandle {
public:
    CHandle() = default;
    explicit CHandle(HANDLE handle) : m_handle(handle) {}
    ~CHandle() { Close(); }
    CHandle(CHandle&& other) noexcept : m_handle(other.Release()) {}
    CHandle& operator=(CHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    bool Valid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return Valid(); }

    // Gives the handle up: the caller closes it.
    HANDLE Release()
    {
        HANDLE handle = m_handle;
        m_handle = nullptr;
        return handle;
    }
    void Reset(HANDLE handle = nullptr)
    {
        Close();
        m_handle = handle;
    }

private:
    void Close()
    {
        if (Valid())
            ::CloseHandle(m_handle);
        m_handle = nullptr;
    }

    HANDLE m_handle = nullptr;
};
