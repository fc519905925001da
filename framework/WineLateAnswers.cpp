// Under Wine an RPC worker thread sends the answer to a call after the UI thread has
// run it, so the call that ended the program (the release of the last object, a
// refused creation) may still be unanswered when the program ends. A process that ends
// before answering leaves the client with a broken association that it keeps; when a
// later server gets the same process and thread ids, and so the same endpoint, the
// client's next activation reuses it and fails, and the instance it started is left
// running. On Windows the RPC interfaces belong to COM, which answers before it returns:
// there is nothing to wait for, and nothing is touched.
#include "WineLateAnswers.h"

#include <initializer_list>

#include "DllFunction.h"
#include "Handles.h"
#include "Win.h"
#include "Wine.h"

namespace {

// IRemUnknown, through which clients release the objects they hold.
constexpr IID kIidRemUnknown = {0x00000131, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

using UnregisterIf = RPC_STATUS(RPC_ENTRY*)(RPC_IF_HANDLE, UUID*, unsigned int);

// Unregisters from the RPC runtime, each with a wait for the calls in flight, the
// interfaces whose calls can end the program. The RPC interface of a COM interface has
// the interface's IID.
DWORD WINAPI UnregisterCalledInterfaces(void*) {
    // rpcrt4.dll is loaded by COM when it serves calls.
    auto unregister = LoadedDllFunction<UnregisterIf>(L"rpcrt4.dll", "RpcServerUnregisterIf");
    if (!unregister) return 0;
    for (const IID* iid : {&kIidRemUnknown, &IID_IClassFactory, &IID_IDispatch}) {
        RPC_SERVER_INTERFACE rpcInterface{};
        rpcInterface.Length = sizeof rpcInterface;
        rpcInterface.InterfaceId.SyntaxGUID = *iid;
        unregister(&rpcInterface, nullptr, TRUE);  // RPC_S_UNKNOWN_IF when nothing called it
    }
    return 0;
}

}  // namespace

// Messages are served meanwhile, since a call that arrived late waits for this thread
// to run it. The wait has a cap: Wine's RpcServerUnregisterIf reads a call count and
// then marks the interface in two steps, and a call that ends in between is never
// reported, so it waits forever. That call has been answered by then. An answer in
// flight takes milliseconds on a quiet machine, but its worker thread may wait for the
// processor far longer on a busy one: with two cores kept busy, one release in a few
// hundred reached a cap of one second. Past the cap the process ends unanswered, and
// the client is left with the broken association above.
void WaitForLateAnswersUnderWine() {
    if (!RunningUnderWine()) return;
    constexpr DWORD kCapMs = 5000;
    const UniqueHandle thread(CreateThread(nullptr, 0, UnregisterCalledInterfaces, nullptr, 0, nullptr));
    if (!thread) return;
    HANDLE waiter = thread.get();
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= kCapMs) break;
        if (MsgWaitForMultipleObjects(1, &waiter, FALSE, kCapMs - spent, QS_ALLINPUT) != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}
