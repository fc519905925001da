// travokc: the console Travok, for batch work and pipelines. Wide arguments (-municode),
// so any file name arrives whole.
#include <new>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Console.h"
#include "ConsoleResource.h"
#include "Run.h"
#include "framework/DllSearch.h"
#include "framework/String.h"
#include "res/resource.h"

using namespace travok::console;

int wmain(int argc, wchar_t** argv) {
    SearchDllsInSystem32Only();
    try {
        const std::vector<std::wstring> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        UsageError error;
        const std::optional<Request> request = ParseCommandLine(args, error);
        if (!request) return ReportUsageError(error);
        switch (request->action) {
        case Request::Action::Help:
            WriteLine(STD_OUTPUT_HANDLE, LoadResStringW(IDS_CONSOLE_USAGE) + L"\n\n" + LoadResStringW(IDS_CONSOLE_HELP));
            return kDone;
        case Request::Action::Version:
            WriteLine(STD_OUTPUT_HANDLE, LoadResStringW(IDS_CONSOLE_VERSION, {TRAVOK_VERSION}));
            return kDone;
        case Request::Action::Code:
            return CodeStreams(*request);
        }
    } catch (const std::bad_alloc&) {
        WriteLine(STD_ERROR_HANDLE, LoadResStringW(IDS_OUT_OF_MEMORY));
    }
    return kFailed;
}
