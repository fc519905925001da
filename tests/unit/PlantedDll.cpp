// A DLL that does nothing, built beside the tests: what a DLL planted beside a program
// would be.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
