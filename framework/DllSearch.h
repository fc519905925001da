// Where the process looks for the DLLs it loads after it has started.
#pragma once

// From here on, DLLs loaded by name (by the program or by the system's DLLs for it)
// come from System32 only, never from the program's own folder or the current one: a
// copy of the program run from Downloads loads no DLL planted beside it. Systems
// without SetDefaultDllDirectories (Windows 7 before KB2533623) keep their own order.
void SearchDllsInSystem32Only();
