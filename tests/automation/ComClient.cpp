// The automation tests' COM, process and registry helpers.
#include "ComClient.h"

#include <tlhelp32.h>

#include <algorithm>
#include <gtest/gtest.h>

#include "Driver.h"
#include "Handles.h"

namespace travok::test {

Variant::Variant(const std::wstring& text) {
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

Variant Variant::Int(LONG value) {
    Variant result;
    V_VT(&result.v) = VT_I4;
    V_I4(&result.v) = value;
    return result;
}

Variant Variant::Double(double value) {
    Variant result;
    V_VT(&result.v) = VT_R8;
    V_R8(&result.v) = value;
    return result;
}

Variant Variant::Null() {
    Variant result;
    V_VT(&result.v) = VT_NULL;
    return result;
}

Variant Variant::NullBstr() {
    Variant result;
    V_VT(&result.v) = VT_BSTR;
    V_BSTR(&result.v) = nullptr;
    return result;
}

Variant Variant::IntArray() {
    Variant result;
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 2);
    V_VT(&result.v) = VT_ARRAY | VT_I4;
    V_ARRAY(&result.v) = array;
    return result;
}

Variant::Variant(const Variant& other) {
    VariantInit(&v);
    VariantCopy(&v, const_cast<VARIANT*>(&other.v));
}

std::wstring Variant::Text() const {
    if (V_VT(&v) != VT_BSTR || !V_BSTR(&v)) return {};
    return std::wstring(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
}

void Invoke(IDispatch* object, const InvokeRequest& request, InvokeOutcome& outcome) {
    // DISPPARAMS holds the arguments last first.
    std::vector<VARIANT> args(request.args.size());
    for (size_t i = 0; i < request.args.size(); ++i) args[args.size() - 1 - i] = request.args[i].v;
    std::vector<DISPID> named = request.named;
    DISPPARAMS params{args.data(), named.empty() ? nullptr : named.data(), static_cast<UINT>(args.size()),
                      static_cast<UINT>(named.size())};
    outcome.hr = object->Invoke(request.id, *request.iid, LOCALE_USER_DEFAULT, request.flags, &params,
                                request.resultPlace ? &outcome.result.v : nullptr, &outcome.excepInfo,
                                &outcome.argErr);
}

std::wstring Code(IDispatch* object, DISPID id, const std::wstring& text, const std::wstring& key) {
    InvokeOutcome outcome;
    Invoke(object, {id, DISPATCH_METHOD, {Variant(text), Variant(key)}}, outcome);
    EXPECT_EQ(outcome.hr, S_OK);
    EXPECT_EQ(V_VT(&outcome.result.v), VT_BSTR);
    return outcome.result.Text();
}

std::wstring ToWide(const std::string& ansi) {
    std::wstring wide(ansi.size(), L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                                static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(n));
    return wide;
}

std::string ToAnsi(const std::wstring& wide) {
    std::string ansi(wide.size() * 2, '\0');
    int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(),
                                static_cast<int>(ansi.size()), nullptr, nullptr);
    ansi.resize(static_cast<size_t>(n));
    return ansi;
}

std::string ClsidText() {
    wchar_t text[40] = {};
    const int n = StringFromGUID2(CLSID_TravokApplication, text, 40);
    return ToAnsi(std::wstring(text, n > 0 ? static_cast<size_t>(n - 1) : 0));
}

std::set<DWORD> TravokProcesses() {
    std::set<DWORD> pids;
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) return pids;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry))
        if (_stricmp(entry.szExeFile, "Travok.exe") == 0) pids.insert(entry.th32ProcessID);
    return pids;
}

std::set<DWORD> WaitNewServers(const std::set<DWORD>& before, size_t count, DWORD timeoutMs) {
    std::set<DWORD> fresh;
    WaitFor([&] {
        fresh.clear();
        for (DWORD pid : TravokProcesses())
            if (!before.count(pid)) fresh.insert(pid);
        return fresh.size() == count;
    }, timeoutMs);
    return fresh;
}

ServerProcess::ServerProcess(DWORD pid) : m_pid(pid), m_process(ChildProcess::Open(pid)) {
    // Closing cancels the About box a test left open, then the main window.
    m_process.SetPoliteEnd([this] {
        if (HWND about = FindPopup("About Travok")) PostMessageA(about, WM_COMMAND, IDCANCEL, 0);
        if (HWND sheet = Sheet()) PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    });
}

ServerProcess::~ServerProcess() {
    if (!m_process.End()) ADD_FAILURE() << "Travok " << m_pid << " did not end; terminated it";
}

HWND ServerProcess::Sheet() const { return FindPopup("Travok"); }

HWND ServerProcess::FindPopup(const std::string& caption) const {
    for (HWND hwnd : TopLevelWindows(m_pid))
        if (GetText(hwnd) == caption) return hwnd;
    return nullptr;
}

bool ServerProcess::Running() const { return m_process.Running(); }

bool ServerProcess::WaitExit(DWORD timeoutMs) const { return m_process.WaitExit(timeoutMs).has_value(); }

ServerWatch::ServerWatch() : m_before(TravokProcesses()) {
    m_thread = std::thread([this] {
        std::set<DWORD> known = m_before;
        while (!m_stop) {
            for (DWORD pid : TravokProcesses())
                if (known.insert(pid).second) m_seen.push_back(std::make_unique<ServerProcess>(pid));
            Sleep(2);
        }
    });
}

ServerWatch::~ServerWatch() { Stop(); }

std::vector<std::unique_ptr<ServerProcess>> ServerWatch::Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    return std::move(m_seen);
}

RegValue ReadClassesValue(const std::string& key) {
    char value[1024] = {};
    LONG size = sizeof value;
    RegValue result;
    result.exists = RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), value, &size) == ERROR_SUCCESS;
    if (result.exists) result.value = value;
    return result;
}

void DeleteServerKeys() {
    for (const char* hive : {"Software\\Classes\\", ""})
        for (std::string key : {std::string(kTravokProgId), std::string("CLSID\\") + ClsidText()}) {
            key = hive + key;
            LONG rc = RegDeleteTreeA(*hive ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT, key.c_str());
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) ADD_FAILURE() << "cannot delete " << key << ": " << rc;
        }
}

std::string ExpectedServerPath() {
    const std::string full = TravokExePath();
    char shortPath[MAX_PATH * 2] = {};
    DWORD n = GetShortPathNameA(full.c_str(), shortPath, sizeof shortPath);
    return n > 0 && n < sizeof shortPath ? std::string(shortPath, n) : full;
}

void EnsureRegistered() {
    const std::string server = std::string("CLSID\\") + ClsidText() + "\\LocalServer32";
    if (ReadClassesValue(server).value == ExpectedServerPath() && ReadClassesValue(std::string(kTravokProgId) + "\\CLSID").exists)
        return;
    { TravokProcess user; }  // a user start refreshes the entries
    ASSERT_EQ(ReadClassesValue(server).value, ExpectedServerPath()) << "Travok did not register itself";
}

}  // namespace travok::test
