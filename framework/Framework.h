// The program's application framework: include this one header.
#pragma once

#include "Controls.h"
#include "DataExchange.h"
#include "Dialog.h"
#include "Dpi.h"
#include "Layout.h"
#include "Lock.h"
#include "MessageMap.h"
#include "String.h"
#include "WinApp.h"
#include "Wnd.h"
