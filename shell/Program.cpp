// The program's one application object, which the framework's WinMain runs.
#include "TravokApp.h"

CTravokApp theApp;
