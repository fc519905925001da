// CCheie: construction, control binding, activation and the event table.
#include "Cheie.h"

#include "res/resource.h"

CCheie::CCheie() : CPropertyPage(IDD_CHEIE), m_bCode(1), m_bFromFile(0), m_bToFile(0) {}

std::span<const CDialog::EventEntry> CCheie::GetEventTable() const {
    static const EventEntry kEvents[] = {
        OnClicked(IDC_CODE, &CCheie::OnCode),
        OnClicked(IDC_DECODE, &CCheie::OnDecode),
        OnClicked(IDC_ACTION, &CCheie::OnAction),
        OnClicked(IDC_BROWSE_INPUT, &CCheie::OnBrowseInput),
        OnClicked(IDC_OPEN_KEY, &CCheie::OnOpenKey),
        OnClicked(IDC_SAVE_KEY, &CCheie::OnSaveKey),
        OnClicked(IDC_COPY, &CCheie::OnCopyResult),
        OnClicked(IDC_FROM_TEXT, &CCheie::OnFromText),
        OnClicked(IDC_FROM_FILE, &CCheie::OnFromFile),
        OnClicked(IDC_TO_TEXT, &CCheie::OnToText),
        OnClicked(IDC_TO_FILE, &CCheie::OnToFile),
        OnClicked(IDC_BROWSE_OUTPUT, &CCheie::OnBrowseOutput),
        OnClicked(IDC_ABOUT, &CCheie::OnAbout),
    };
    return kEvents;
}

void CCheie::DoDataExchange() {
    DDX_Control(IDC_ACTION, m_action);
    DDX_Control(IDC_INPUT_PATH, m_inputPath);
    DDX_Control(IDC_OUTPUT_PATH, m_outputPath);
    DDX_Control(IDC_RESULT, m_result);
    DDX_Control(IDC_TO_TEXT, m_resultText);
    DDX_Control(IDC_TO_FILE, m_resultFile);
    DDX_Control(IDC_FROM_TEXT, m_inputText);
    DDX_Control(IDC_FROM_FILE, m_inputFile);
    DDX_Control(IDC_CODE, m_code);
    DDX_Control(IDC_KEY, m_key);
    DDX_Control(IDC_INPUT, m_input);
}

BOOL CCheie::OnInitDialog() {
    // The default limit (about 32K characters) would cut a pasted text short.
    m_input.SetLimitText(kTextBoxLimit);
    m_result.SetLimitText(kTextBoxLimit);
    m_key.SetLimitText(kTextBoxLimit);
    AcceptDrops();
    return TRUE;
}

BOOL CCheie::OnSetActive() {
    m_code.SetCheck(BST_CHECKED);
    m_inputText.SetCheck(BST_CHECKED);
    m_bFromFile = 0;
    m_resultText.SetCheck(BST_CHECKED);
    m_bToFile = 0;
    if (!m_actionIcon) m_actionIcon = LoadIconSized(IDR_MAINFRAME, SM_CXICON);
    m_action.SetIcon(m_actionIcon.get());
    return CPropertyPage::OnSetActive();
}

BOOL CCheie::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_DROPFILES) {
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        result = 0;
        return TRUE;
    }
    return CPropertyPage::OnMessage(message, wParam, lParam, result);
}

void CCheie::OnAbout() {
    // The About box belongs to the sheet, which shows it for its system menu too: the page
    // asks for it the same way.
    ::SendMessageW(GetParent(m_hWnd), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
}
