// The progress dialog's taskbar button, in this process: a taskbar list of the test's
// own, registered for CLSID_TaskbarList, writes down the calls the dialog makes. HrInit
// must come first; a list whose HrInit fails gets no other call.
#include <gtest/gtest.h>

#include <shobjidl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "page/ProgressDialog.h"

namespace {

class RecordingTaskbar final : public ITaskbarList3 {
public:
    explicit RecordingTaskbar(HRESULT initAnswer) : m_initAnswer(initAnswer) {}
    std::vector<std::string> calls;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_ITaskbarList || iid == IID_ITaskbarList2 || iid == IID_ITaskbarList3) {
            *out = static_cast<ITaskbarList3*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE HrInit() override { return Call("HrInit", m_initAnswer); }
    HRESULT STDMETHODCALLTYPE AddTab(HWND) override { return Call("AddTab"); }
    HRESULT STDMETHODCALLTYPE DeleteTab(HWND) override { return Call("DeleteTab"); }
    HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return Call("ActivateTab"); }
    HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return Call("SetActiveAlt"); }
    HRESULT STDMETHODCALLTYPE MarkFullscreenWindow(HWND, BOOL) override { return Call("MarkFullscreenWindow"); }
    HRESULT STDMETHODCALLTYPE SetProgressValue(HWND, ULONGLONG, ULONGLONG) override { return Call("SetProgressValue"); }
    HRESULT STDMETHODCALLTYPE SetProgressState(HWND, TBPFLAG) override { return Call("SetProgressState"); }
    HRESULT STDMETHODCALLTYPE RegisterTab(HWND, HWND) override { return Call("RegisterTab"); }
    HRESULT STDMETHODCALLTYPE UnregisterTab(HWND) override { return Call("UnregisterTab"); }
    HRESULT STDMETHODCALLTYPE SetTabOrder(HWND, HWND) override { return Call("SetTabOrder"); }
    HRESULT STDMETHODCALLTYPE SetTabActive(HWND, HWND, DWORD) override { return Call("SetTabActive"); }
    HRESULT STDMETHODCALLTYPE ThumbBarAddButtons(HWND, UINT, LPTHUMBBUTTON) override { return Call("ThumbBar"); }
    HRESULT STDMETHODCALLTYPE ThumbBarUpdateButtons(HWND, UINT, LPTHUMBBUTTON) override { return Call("ThumbBar"); }
    HRESULT STDMETHODCALLTYPE ThumbBarSetImageList(HWND, HIMAGELIST) override { return Call("ThumbBar"); }
    HRESULT STDMETHODCALLTYPE SetOverlayIcon(HWND, HICON, LPCWSTR) override { return Call("SetOverlayIcon"); }
    HRESULT STDMETHODCALLTYPE SetThumbnailTooltip(HWND, LPCWSTR) override { return Call("SetThumbnailTooltip"); }
    HRESULT STDMETHODCALLTYPE SetThumbnailClip(HWND, RECT*) override { return Call("SetThumbnailClip"); }

private:
    HRESULT Call(const char* name, HRESULT answer = S_OK) {
        if (calls.empty() || calls.back() != name) calls.push_back(name);  // repeats once
        return answer;
    }
    HRESULT m_initAnswer;
};

class Factory final : public IClassFactory {
public:
    explicit Factory(RecordingTaskbar& taskbar) : m_taskbar(taskbar) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        return m_taskbar.QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    RecordingTaskbar& m_taskbar;
};

// A run long enough to show the dialog, with the test's taskbar list in place.
std::vector<std::string> CallsDuringARun(HRESULT initAnswer) {
    EXPECT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    RecordingTaskbar taskbar(initAnswer);
    Factory factory(taskbar);
    DWORD cookie = 0;
    EXPECT_EQ(CoRegisterClassObject(CLSID_TaskbarList, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
              S_OK);
    travok::RunProgress progress;
    progress.total = 100;
    const bool result = RunWithProgress(L"in.bin", false, progress, [&] {
        for (int i = 1; i <= 10; ++i) {
            Sleep(100);
            progress.done = static_cast<std::uint64_t>(i) * 10;
        }
        return true;
    });
    EXPECT_TRUE(result);
    CoRevokeClassObject(cookie);
    CoUninitialize();
    return taskbar.calls;
}

TEST(TaskbarProgress, HrInitComesBeforeAnyOtherCall) {
    const std::vector<std::string> calls = CallsDuringARun(S_OK);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.front(), "HrInit");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "HrInit"), 1);
    EXPECT_EQ(calls.back(), "SetProgressState");  // the button's progress goes with the dialog
}

TEST(TaskbarProgress, AListWhoseHrInitFailsGetsNoOtherCall) {
    EXPECT_EQ(CallsDuringARun(E_FAIL), std::vector<std::string>{"HrInit"});
}

}  // namespace
