// The program's one application object; the framework's WinMain runs it.
#include "RecoveryApp.h"

CRecoveryApp theApp;
