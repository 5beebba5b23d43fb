// Opening the program's help file, from the Help link and from F1.
#pragma once

#include "Framework.h"

// Shows help.chm from the program's folder in the help viewer; when it
// cannot be opened, says so in a message box owned by owner.
void OpenHelpFile(CWnd& owner);
