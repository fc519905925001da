// What the automation tests share: COM pointers (the program's own owner) and variants
// that free themselves, calls through IDispatch with every out-parameter kept, the
// Travok.exe processes of the prefix, and the server's registry entries.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "Driver.h"
#include "framework/Handles.h"
#include "shell/ServerIds.h"

namespace travok::test {

using ::ComPtr;

class Variant {
public:
    Variant() { VariantInit(&v); }
    explicit Variant(const std::wstring& text);  // VT_BSTR, embedded zeros kept
    static Variant Int(LONG value);
    static Variant Double(double value);
    static Variant Null();
    static Variant NullBstr();   // VT_BSTR holding a null pointer
    static Variant IntArray();   // VT_ARRAY | VT_I4, which no conversion makes a string
    Variant(const Variant& other);
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v); }

    std::wstring Text() const;  // a VT_BSTR's whole text

    VARIANT v;
};

// One call through IDispatch::Invoke with everything the server handed back.
struct InvokeOutcome {
    static constexpr UINT kArgErrUntouched = 0xDEADu;
    HRESULT hr = E_FAIL;
    Variant result;
    EXCEPINFO excepInfo{};
    UINT argErr = kArgErrUntouched;
    ~InvokeOutcome() {
        SysFreeString(excepInfo.bstrSource);
        SysFreeString(excepInfo.bstrDescription);
        SysFreeString(excepInfo.bstrHelpFile);
    }
};

struct InvokeRequest {
    InvokeRequest(DISPID id_, WORD flags_, std::vector<Variant> args_, std::vector<DISPID> named_ = {},
                  bool resultPlace_ = true, const IID* iid_ = &IID_NULL)
        : id(id_), flags(flags_), args(std::move(args_)), named(std::move(named_)), resultPlace(resultPlace_),
          iid(iid_) {}

    DISPID id;
    WORD flags;
    std::vector<Variant> args;   // in the order the member declares them
    std::vector<DISPID> named;   // the names of the first named.size() entries of DISPPARAMS
    bool resultPlace;            // whether a result VARIANT is passed
    const IID* iid;
};

void Invoke(IDispatch* object, const InvokeRequest& request, InvokeOutcome& outcome);

// CodeWithKey (1) or DeCodeWithKey (2) of two strings as a method; fails the test on error.
std::wstring Code(IDispatch* object, DISPID id, const std::wstring& text, const std::wstring& key);

std::wstring ToWide(const std::string& ansi);
std::string ToAnsi(const std::wstring& wide);

// The object's class identifier in the text form its registry keys are named by.
std::string ClsidText();

// Travok.exe processes running in the prefix, by id.
std::set<DWORD> TravokProcesses();
// Waits until the set of running Travok.exe processes minus `before` has `count` members
// and returns them.
std::set<DWORD> WaitNewServers(const std::set<DWORD>& before, size_t count, DWORD timeoutMs = kSafetyNetMs);

// A Travok.exe process started by COM, found among those not in `before`.
class ServerProcess {
public:
    explicit ServerProcess(DWORD pid);
    ~ServerProcess();  // closes the program if it is still running
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    DWORD Pid() const { return m_pid; }
    HWND Sheet() const;             // its main window, or nullptr
    HWND FindPopup(const std::string& caption) const;  // a shown top-level dialog of it
    bool Running() const;
    bool WaitExit(DWORD timeoutMs = kSafetyNetMs) const;

private:
    DWORD m_pid;
    ChildProcess m_process;
};

// Catches every Travok.exe that starts while it watches, even one that ends at once:
// a thread polls the process list and opens each new process as soon as it shows.
class ServerWatch {
public:
    ServerWatch();
    ~ServerWatch();
    ServerWatch(const ServerWatch&) = delete;
    ServerWatch& operator=(const ServerWatch&) = delete;

    // Stops watching and hands over the processes seen.
    std::vector<std::unique_ptr<ServerProcess>> Stop();

private:
    std::set<DWORD> m_before;
    std::vector<std::unique_ptr<ServerProcess>> m_seen;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Registry values under HKEY_CLASSES_ROOT, read like the program writes them.
struct RegValue {
    bool exists = false;
    std::string value;
};
RegValue ReadClassesValue(const std::string& key);
void DeleteServerKeys();  // both key trees of the server, machine-wide and the user's
// The path that a user start of this build writes for LocalServer32.
std::string ExpectedServerPath();
// Makes the prefix's registration this build's, by one user start if it is not.
void EnsureRegistered();

// A test with one object of a Travok.exe that COM started for it, which must end once
// the object is released.
class ClientStartedServer : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(EnsureRegistered());
        const std::set<DWORD> before = TravokProcesses();
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(ToWide(kTravokProgId).c_str(), &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, object.PutVoid()), S_OK);
        std::set<DWORD> started = WaitNewServers(before, 1);
        ASSERT_EQ(started.size(), 1u);
        server = std::make_unique<ServerProcess>(*started.begin());
    }

    void TearDown() override {
        object.Reset();
        // Releasing the only object ends a client-started server.
        if (server) {
            EXPECT_TRUE(server->WaitExit());
        }
    }

    std::unique_ptr<ServerProcess> server;
    ComPtr<IDispatch> object;
};

}  // namespace travok::test
