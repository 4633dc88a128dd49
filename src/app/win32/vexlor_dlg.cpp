// SPDX-License-Identifier: Apache-2.0
#include "app/win32/vexlor_dlg.h"

#include "app/common/resource_ids.h"
#include "app/common/resource_library.h"
#include "app/win32/about_dlg.h"
#include "app/win32/dialog_text.h"
#include "app/win32/prompter.h"
#include "platform/win32/wide_text.h"
#include "platform/window_messages.h"

CVexlorDlg::CVexlorDlg(const CResourceLibrary& library, Options options)
    : CDialog(IDD_VEXLOR_DIALOG),
      m_library(library),
      m_operator(options.line ? std::move(options.line) : platform::MakeSystemSerialLine()),
      m_presenter(
          *this, [&library](unsigned id) { return library.LoadString(id); }, m_operator, &m_target, m_programFile,
          std::move(options)) {}

INT_PTR CVexlorDlg::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: OnInitDialog(); return TRUE;
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return FALSE;
        CAboutDlg(m_library).RunModal(Handle());
        return TRUE;
    case WM_PAINT: return PaintMinimized();
    case WM_QUERYDRAGICON: return reinterpret_cast<INT_PTR>(m_icons.Big());
    case WM_DL_STATUS:
    case WM_DL_PROGRESS:
    case WM_DL_NOTICE:  // the port another program holds, and who holds it
        m_presenter.Notify(message, wParam);
        SetMessageResult(0);
        return TRUE;
    case WM_DESTROY:
        // Whatever a worker posts from now on finds no window.
        m_target.Attach(nullptr);
        return FALSE;
    default: return FALSE;
    }
}

void CVexlorDlg::OnInitDialog() {
    const HWND window = Handle();
    m_target.Attach(window);
    m_statusList.Bind(GetDlgItem(window, IDC_LIST_STATUS));
    m_portCombo.Bind(GetDlgItem(window, IDC_CMB_COM));

    if (const HMENU menu = GetSystemMenu(window, FALSE)) {
        const std::string about = m_presenter.AboutText();
        if (!about.empty()) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, platform::win32::Widen(about).c_str());
        }
    }
    m_icons.SetOn(window);

    m_dataCheckDlg.SetProgressFormat(m_presenter.BeginPackageCheck());
    const INT_PTR checked =
        m_dataCheckDlg.Run(window, [this](platform::NotifyTarget* target) { return m_presenter.CheckPackage(target); });
    // The window fills itself either way; after a failed check it ends before it takes any input.
    if (!m_presenter.Open(checked == CDataCheckDlg::RESULT_PASSED)) EndDialog(window, RESULT_CHECK_FAILED);
}

void CVexlorDlg::OnCommand(int controlId, int notification) {
    switch (controlId) {
    case IDC_BTN_START:
        if (notification == BN_CLICKED) m_presenter.Start();
        break;
    case IDC_BTN_STOP:
        if (notification == BN_CLICKED) m_presenter.Stop();
        break;
    case IDC_CMB_COM:
        if (notification == CBN_DROPDOWN) m_presenter.DropDown();
        if (notification == CBN_SELCHANGE) m_portCombo.ShowSelectedDevice();
        break;
    case IDOK:      // Enter that no button takes
    case IDCANCEL:  // Esc and the close box
        // Closing asks first while a download runs and stops it before the window ends.
        if (m_presenter.MayClose()) EndDialog(Handle(), controlId);
        break;
    default: break;
    }
}

bool CVexlorDlg::PaintMinimized() {
    const HWND window = Handle();
    if (!IsIconic(window)) return false;
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(window, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_icons.Big());
    EndPaint(window, &paint);
    return true;
}

// MainWindowView.

void CVexlorDlg::SetTitle(const std::string& text) { SetWindowTextUtf8(Handle(), text); }

void CVexlorDlg::SetCaptions(const std::string& start, const std::string& stop, const std::string& backup,
                             const std::string& restore) {
    SetItemTextUtf8(Handle(), IDC_BTN_START, start);
    SetItemTextUtf8(Handle(), IDC_BTN_STOP, stop);
    SetItemTextUtf8(Handle(), IDC_BTN_BACKUP, backup);
    SetItemTextUtf8(Handle(), IDC_BTN_RESTORE, restore);
}

void CVexlorDlg::ClearLines() { m_statusList.Clear(); }

void CVexlorDlg::AppendLine(const std::string& text) { m_statusList.Append(text); }

void CVexlorDlg::InsertTopLine(const std::string& text) { m_statusList.InsertTop(text); }

void CVexlorDlg::ShowNow() { RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

void CVexlorDlg::ShowPorts(const std::vector<PortItem>& ports) { m_portCombo.ShowPorts(ports); }

void CVexlorDlg::ShowNoPort(const std::string& text) { m_portCombo.ShowNoPort(text); }

uint32_t CVexlorDlg::SelectedPort() const { return m_portCombo.Selected(); }

void CVexlorDlg::EnableControls(const ControlStates& states) {
    const HWND window = Handle();
    EnableWindow(GetDlgItem(window, IDC_CMB_COM), states.portList);
    EnableWindow(GetDlgItem(window, IDC_BTN_START), states.start);
    EnableWindow(GetDlgItem(window, IDC_BTN_STOP), states.stop);
    if (states.changeSpareButtons) {
        EnableWindow(GetDlgItem(window, IDC_BTN_BACKUP), states.spareButtons);
        EnableWindow(GetDlgItem(window, IDC_BTN_RESTORE), states.spareButtons);
    }
    // A button that was just pressed and is now disabled would keep the keyboard focus where no
    // key reaches anything: hand it to the button that now takes input.
    const HWND focus = GetFocus();
    if (!focus || !IsWindowEnabled(focus)) {
        const HWND next = GetDlgItem(window, states.stop ? IDC_BTN_STOP : states.start ? IDC_BTN_START : IDC_CMB_COM);
        SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
    }
}

bool CVexlorDlg::AskYesNo(const std::string& text) { return AskYesNoBox(Handle(), text); }

void CVexlorDlg::Inform(const std::string& text) { InformBox(Handle(), text); }
