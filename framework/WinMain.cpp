// The program's entry point: runs the one application object.
#include "WinApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    try {
        return app->Run(instance, commandLine);
    } catch (const std::exception& e) {
        MessageBoxA(nullptr, e.what(), app->m_appName.c_str(), MB_OK | MB_ICONSTOP);
        return 1;
    }
}
