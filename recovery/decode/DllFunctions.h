// Looks up a loaded DLL's functions by name, each into a typed pointer, and
// says whether every one was found (a missing DLL finds none).
#pragma once

#include <windows.h>

class CDllFunctions {
public:
    explicit CDllFunctions(HMODULE module) : m_module(module) {}
    template <typename F>
    void operator()(F& function, const char* name)
    {
        FARPROC found = m_module ? GetProcAddress(m_module, name) : nullptr;
        function = reinterpret_cast<F>(reinterpret_cast<void*>(found));
        m_complete = m_complete && found != nullptr;
    }
    bool Complete() const { return m_module && m_complete; }

private:
    HMODULE m_module;
    bool m_complete = true;
};
