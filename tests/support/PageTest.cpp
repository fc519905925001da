// The coding-page fixture, the reference coder and the provoked faults.
#include "PageTest.h"

#include <shlobj.h>

#include <algorithm>
#include <utility>

#include "Pipe.h"

namespace travok::test {

const char* ModeName(Mode mode) {
    switch (mode) {
    case Mode::TextToText: return "Text-to-Text";
    case Mode::TextToFile: return "Text-to-File";
    case Mode::FileToText: return "File-to-Text";
    case Mode::FileToFile: return "File-to-File";
    }
    return "?";
}

namespace {

std::string Describe(const std::vector<SeenBox>& boxes) {
    std::string all;
    for (const SeenBox& box : boxes) all += "\n  [" + box.caption + "] " + box.text;
    return all.empty() ? " none" : all;
}

std::string IconName(LPCSTR icon) {
    if (icon == IDI_HAND) return "stop";
    if (icon == IDI_ASTERISK) return "information";
    if (icon == IDI_EXCLAMATION) return "exclamation";
    if (icon == IDI_QUESTION) return "question";
    return "none";
}

}  // namespace

testing::AssertionResult NoMessage(const std::vector<SeenBox>& boxes) {
    if (boxes.empty()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "expected no message box, saw" << Describe(boxes);
}

testing::AssertionResult OneMessage(const std::vector<SeenBox>& boxes, const std::string& text, LPCSTR icon) {
    if (boxes.size() != 1)
        return testing::AssertionFailure() << "expected one box \"" << text << "\", saw" << Describe(boxes);
    const SeenBox& box = boxes[0];
    if (box.caption != "Error Travok") return testing::AssertionFailure() << "caption \"" << box.caption << "\"";
    if (box.text != text)
        return testing::AssertionFailure() << "text \"" << box.text << "\"\n  expected \"" << text << "\"";
    if (box.icon != icon)
        return testing::AssertionFailure() << "icon " << IconName(box.icon) << ", expected " << IconName(icon);
    return testing::AssertionSuccess();
}

testing::AssertionResult OneReport(const std::vector<SeenBox>& boxes, const std::string& file,
                                   const std::string& message) {
    return OneMessage(boxes, "Error with '" + file + "' : " + message, IDI_HAND);
}

testing::AssertionResult OneReport(const std::vector<SeenBox>& boxes, const std::wstring& file,
                                   const std::string& message) {
    const std::wstring text = L"Error with '" + file + L"' : " + Wide(message);
    if (boxes.size() == 1 && boxes[0].textW != text)
        return testing::AssertionFailure() << "text \"" << Utf8(boxes[0].textW) << "\"\n  expected \"" << Utf8(text)
                                           << "\"";
    return OneMessage(boxes, boxes.size() == 1 ? boxes[0].text : "", IDI_HAND);
}

CurrentDirectory::CurrentDirectory(const std::string& dir) {
    char previous[MAX_PATH * 4];
    DWORD n = GetCurrentDirectoryA(sizeof previous, previous);
    m_previous.assign(previous, n < sizeof previous ? n : 0);
    if (!SetCurrentDirectoryA(dir.c_str())) ADD_FAILURE() << "cannot enter " << dir;
}

CurrentDirectory::~CurrentDirectory() {
    if (!m_previous.empty()) SetCurrentDirectoryA(m_previous.c_str());
}

void PageTest::SetMode(Mode mode) const {
    Choose(FromFile(mode) ? IDC_FROM_FILE : IDC_FROM_TEXT);
    Choose(ToFile(mode) ? IDC_TO_FILE : IDC_TO_TEXT);
}

void PageTest::FocusOn(int id) const {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(app.Page(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE, SMTO_NORMAL, kSafetyNetMs,
                        &result);
}

std::vector<std::string> PageTest::Boxes() const {
    return {Text(IDC_INPUT), Text(IDC_KEY), Text(IDC_RESULT), Text(IDC_INPUT_PATH), Text(IDC_OUTPUT_PATH)};
}

std::vector<std::string> PageTest::Files() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir.Path() + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<SeenBox> PageTest::Drop(const std::vector<std::wstring>& files, int id) const {
    // DROPFILES, then the wide names, each ended by a zero, and a zero to end the list.
    std::wstring names;
    for (const std::wstring& file : files) names += file + L'\0';
    names += L'\0';
    RECT rect{};
    GetWindowRect(Item(id), &rect);
    POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ScreenToClient(app.Page(), &point);
    DROPFILES header{};
    header.pFiles = sizeof header;
    header.pt = point;
    header.fWide = TRUE;
    std::string block(reinterpret_cast<const char*>(&header), sizeof header);
    block.append(reinterpret_cast<const char*>(names.data()), names.size() * sizeof(wchar_t));

    // The handle must be valid in the program's process, where the page reads it: fixed
    // global memory is its own handle, so memory written there serves as one.
    void* remote = VirtualAllocEx(app.Handle(), nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote || !WriteProcessMemory(app.Handle(), remote, block.data(), block.size(), nullptr)) {
        ADD_FAILURE() << "cannot write the drop into the program: error " << GetLastError();
        return {};
    }
    std::vector<SeenBox> boxes = app.SendAndCollect(app.Page(), WM_DROPFILES, reinterpret_cast<WPARAM>(remote));
    VirtualFreeEx(app.Handle(), remote, 0, MEM_RELEASE);
    return boxes;
}

HeldFile::HeldFile(const std::string& path) {
    Pipe fromHelper, toHelper;
    if (!fromHelper.write || !toHelper.read) return;
    StdStreams streams;
    streams.input = std::move(toHelper.read);
    streams.output = std::move(fromHelper.write);
    streams.error = OurStdHandle(STD_ERROR_HANDLE);
    const std::string exe = ExeDir() + "holdfile.exe";
    m_helper = ChildProcess(Wide("\"" + exe + "\" \"" + path + "\""), std::move(streams));
    if (!m_helper) return;
    m_toHelper = std::move(toHelper.write);
    // A line, or the end of its input, lets it go.
    m_helper.SetPoliteEnd([this] {
        if (!m_toHelper) return;
        DWORD written = 0;
        WriteFile(m_toHelper.get(), "\n", 1, &written, nullptr);
        m_toHelper.reset();
    });

    // Its first line says whether it holds the file; polled, so a helper that hangs
    // cannot hang the test. A helper that ended has closed its end: the peek fails.
    WaitFor([&] {
        DWORD available = 0;
        if (!PeekNamedPipe(fromHelper.read.get(), nullptr, 0, nullptr, &available, nullptr)) return true;
        if (available > 0) {
            char buffer[256];
            DWORD got = 0;
            if (ReadFile(fromHelper.read.get(), buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr))
                m_output.append(buffer, got);
        }
        return m_output.find('\n') != std::string::npos;
    }, kSafetyNetMs);
    m_held = m_output.rfind("HELD", 0) == 0;
    if (!m_held) ADD_FAILURE() << "holdfile did not hold " << path << ": \"" << m_output << "\"";
}

HeldFile::~HeldFile() { Release(); }

void HeldFile::Release() {
    if (!m_helper.End()) ADD_FAILURE() << "holdfile did not end; terminated it";
}

}  // namespace travok::test
