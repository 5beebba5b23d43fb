// What the main window's parts (the analysis monitor, the results, the
// copy) ask of the window they run in: its timers, its message boxes and
// showing its state. Each part starts and stops only its own timers, and
// the window hands each tick back to the part whose timer it is. Every call
// is made on the window's thread.
#pragma once

#include <windows.h>

class IWindowHost {
public:
    virtual ~IWindowHost() = default;
    // Starts the timer (again, from now) to tick every ms.
    virtual void StartTimer(UINT_PTR timer, UINT ms) = 0;
    // No further ticks of the timer; nothing when it does not run.
    virtual void StopTimer(UINT_PTR timer) = 0;
    // A message box over the window (nullptr caption: the system's
    // "Error"); its answer, once the user has given it.
    virtual int Ask(const char* text, const char* caption, UINT type) = 0;
    // Every control's text and visibility as the window's state says now.
    virtual void ShowState() = 0;
};
