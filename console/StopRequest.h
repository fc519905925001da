// Ctrl+C, Ctrl+Break and the closing of the console window, turned into an event that a
// run waits on, so that it can stop cleanly instead of being ended where it stands.
#pragma once

#include "framework/Win.h"

namespace travok::console {

class StopRequest {
public:
    StopRequest();   // from now on, a Ctrl+C sets Event() instead of ending the process
    ~StopRequest();  // a close of the window waiting for the run's clean-up may go on
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;

    HANDLE Event() const { return m_stop; }

private:
    HANDLE m_stop;
    HANDLE m_cleanedUp;
};

}  // namespace travok::console
