// The automation server's registry entries under HKEY_CLASSES_ROOT.
#pragma once

#include <string>

#include "framework/Win.h"

// Writes the programmatic identifier and class identifier keys of a local server that
// is this executable. The two name keys are written only when they hold no value yet;
// the other four are rewritten every time. The first write that fails ends the
// refresh, and nothing is ever removed.
void RefreshServerRegistry(REFCLSID clsid, const std::string& progId);
