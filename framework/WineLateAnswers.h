// A Wine workaround for the end of a local server: waiting until the calls it has run
// are answered before the process goes.
#pragma once

// Waits, serving the thread's messages, until every call that can end the program (a
// release, a creation or a lock, a dispatch call) has been answered, for a second at
// the most. Call after the class objects are revoked and before OLE is uninitialised.
void WaitForLateAnswersUnderWine();
