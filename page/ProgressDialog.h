// A long file run behind a progress dialog, owned by the sheet: the file's name, a bar,
// bytes done of the total, the speed, the time left, and Cancel.
#pragma once

#include <functional>
#include <string>

#include "engine/RunProgress.h"

// Runs work on a thread of its own while this thread waits for it. A run that lasts
// longer than about half a second shows the progress dialog, whose Cancel sets
// progress.cancel; a shorter one shows nothing. Returns what work returned, and raises
// what it raised.
bool RunWithProgress(const std::wstring& fileName, bool decode, travok::RunProgress& progress,
                     const std::function<bool()>& work);
