// The program's entry point: runs the one application object.
#include "CallbackGuard.h"
#include "DllSearch.h"
#include "WinApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    SearchDllsInSystem32Only();
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    return CallGuarded(1, [&] { return app->Run(instance, commandLine); });
}
