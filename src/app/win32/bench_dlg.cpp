// SPDX-License-Identifier: Apache-2.0
#include "app/win32/bench_dlg.h"

#include <commdlg.h>
#include <mmsystem.h>

#include <vector>

#include "app/common/resource_ids.h"
#include "app/common/resource_library.h"
#include "app/win32/dialog_text.h"
#include "app/win32/prompter.h"
#include "platform/win32/wide_text.h"

CBenchDlg::CBenchDlg(const CResourceLibrary& library, BenchWindowOptions options)
    : CDialog(IDD_BENCH_DIALOG),
      m_presenter(
          *this, [&library](unsigned id) { return library.LoadString(id); }, std::move(options)) {}

INT_PTR CBenchDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: OnInitDialog(); return TRUE;
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        return header->idFrom == IDC_LIST_BENCH && OnTableNotify(*header);
    }
    case WM_DPICHANGED:
        // The dialog scales itself and its controls after this; ours follow once it has.
        PostMessageW(Handle(), kRescaleFonts, 0, 0);
        return FALSE;
    case kRescaleFonts:
        MakeLineFont();
        m_tiles.TakeFace(Handle());
        return TRUE;
    case WM_TIMER:
        if (wParam != kTickTimer) return FALSE;
        m_presenter.Tick();
        return TRUE;
    case WM_DESTROY:
        KillTimer(Handle(), kTickTimer);
        if (m_keyHook) UnhookWindowsHookEx(m_keyHook);
        m_keyHook = nullptr;
        s_keyWindow = nullptr;
        if (m_lineFont) DeleteObject(m_lineFont);
        m_lineFont = nullptr;
        return FALSE;
    default: return FALSE;
    }
}

// The station line is read from the bench, a metre away.
void CBenchDlg::MakeLineFont() {
    const HWND window = Handle();
    LOGFONTW font{};
    if (!GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font)) return;
    font.lfHeight *= 2;
    font.lfWeight = FW_BOLD;
    const HFONT made = CreateFontIndirectW(&font);
    if (!made) return;
    SendDlgItemMessageW(window, IDC_STATIC_TOTALS, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
    if (m_lineFont) DeleteObject(m_lineFont);
    m_lineFont = made;
}

void CBenchDlg::OnInitDialog() {
    const HWND window = Handle();
    m_table.Bind(GetDlgItem(window, IDC_LIST_BENCH));
    m_tiles.Create(window, GetDlgItem(window, IDC_LIST_BENCH));
    MakeLineFont();
    m_icons.SetOn(window);

    m_dataCheckDlg.SetProgressFormat(m_presenter.BeginPackageCheck());
    const INT_PTR checked =
        m_dataCheckDlg.Run(window, [this](platform::NotifyTarget* target) { return m_presenter.CheckPackage(target); });
    // After a failed check the window ends before it takes any input.
    if (!m_presenter.Open(checked == CDataCheckDlg::RESULT_PASSED)) {
        EndDialog(window, RESULT_CHECK_FAILED);
        return;
    }
    SetTimer(window, kTickTimer, BenchWindowPresenter::kTickMs, nullptr);
    // A modal dialog's own loop takes its keys before the window sees them: a message filter of
    // this thread lets Space and F5 through to the window.
    s_keyWindow = this;
    m_keyHook = SetWindowsHookExW(WH_MSGFILTER, &CBenchDlg::KeyFilter, nullptr, GetCurrentThreadId());
}

CBenchDlg* CBenchDlg::s_keyWindow = nullptr;

LRESULT CALLBACK CBenchDlg::KeyFilter(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX && s_keyWindow && s_keyWindow->OnKey(*reinterpret_cast<const MSG*>(lParam))) {
        return TRUE;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool CBenchDlg::OnKey(const MSG& message) {
    if (message.message != WM_KEYDOWN && message.message != WM_KEYUP) return false;
    if (message.wParam != VK_SPACE && message.wParam != VK_F5) return false;
    const HWND window = Handle();
    if (message.hwnd != window && !IsChild(window, message.hwnd)) return false;
    // In a text box Space types.
    wchar_t kind[16] = {};
    GetClassNameW(message.hwnd, kind, 16);
    if (message.wParam == VK_SPACE && lstrcmpiW(kind, L"Edit") == 0) return false;
    // The key's release is eaten too, so that a focused button does not take it as a click.
    if (message.message == WM_KEYDOWN && (message.lParam & (1 << 30)) == 0) {
        if (message.wParam == VK_SPACE) {
            m_presenter.StartOrStop();
        } else {
            m_presenter.ReadPortsAgain();
        }
    }
    return true;
}

void CBenchDlg::OnCommand(int controlId, int notification) {
    switch (controlId) {
    case IDC_BTN_BENCH_START:
        if (notification == BN_CLICKED) m_presenter.Start();
        break;
    case IDC_BTN_BENCH_STOP:
        if (notification == BN_CLICKED) m_presenter.Stop();
        break;
    case IDC_CHK_STATION:
        if (notification == BN_CLICKED) {
            m_presenter.StationToggled(IsDlgButtonChecked(Handle(), IDC_CHK_STATION) == BST_CHECKED);
        }
        break;
    case IDC_BTN_REPORT:
        if (notification == BN_CLICKED) BrowseReport();
        break;
    case IDC_CHK_SILENT:
        if (notification == BN_CLICKED) {
            m_presenter.SilentToggled(IsDlgButtonChecked(Handle(), IDC_CHK_SILENT) == BST_CHECKED);
        }
        break;
    case IDC_CHK_TABLE:
        if (notification == BN_CLICKED) m_tiles.Show(IsDlgButtonChecked(Handle(), IDC_CHK_TABLE) != BST_CHECKED);
        break;
    case IDC_BTN_CHECK_ALL:
        if (notification == BN_CLICKED) m_presenter.CheckAll();
        break;
    case IDC_EDIT_CONFIRM:
    case IDC_EDIT_REMOVAL:
        if (notification == EN_KILLFOCUS && SendDlgItemMessageW(Handle(), controlId, EM_GETMODIFY, 0, 0)) {
            SendDlgItemMessageW(Handle(), controlId, EM_SETMODIFY, FALSE, 0);
            const std::string seconds = ItemTextUtf8(Handle(), controlId);
            if (controlId == IDC_EDIT_CONFIRM) {
                m_presenter.ConfirmTimeChosen(seconds);
            } else {
                m_presenter.RemovalTimeChosen(seconds);
            }
        }
        break;
    case IDC_EDIT_REPORT:
        if (notification == EN_KILLFOCUS) TakeTypedReport();
        break;
    case IDOK:  // Enter: in the report box it takes what was typed; it never closes the window
        TakeTypedReport();
        break;
    case IDCANCEL:  // Esc and the close box: asked first while anything runs
        if (m_presenter.MayClose()) EndDialog(Handle(), IDCANCEL);
        break;
    default: break;
    }
}

bool CBenchDlg::OnTableNotify(NMHDR& header) {
    switch (header.code) {
    case NM_CUSTOMDRAW: SetMessageResult(m_table.CustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(&header))); return true;
    case LVN_ITEMCHANGING:
        // While the bench runs the check boxes stay as the user left them.
        if (m_checksEnabled || m_table.Filling() ||
            !CBenchTable::ChangesCheck(*reinterpret_cast<NMLISTVIEW*>(&header))) {
            return false;
        }
        SetMessageResult(TRUE);
        return true;
    case LVN_ITEMCHANGED: {
        const auto& change = *reinterpret_cast<NMLISTVIEW*>(&header);
        size_t row = 0;
        bool checked = false;
        if (m_table.CheckChanged(change, row, checked)) {
            m_presenter.PortChecked(row, checked);
            m_tiles.RefreshChecks();
        }
        if ((change.uChanged & LVIF_STATE) && ((change.uOldState ^ change.uNewState) & LVIS_SELECTED)) ShowDetail();
        return false;
    }
    default: return false;
    }
}

void CBenchDlg::BrowseReport() {
    std::vector<wchar_t> path(MAX_PATH * 4, L'\0');
    const std::wstring current = platform::win32::Widen(ItemTextUtf8(Handle(), IDC_EDIT_REPORT));
    lstrcpynW(path.data(), current.c_str(), static_cast<int>(path.size()));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = Handle();
    dialog.lpstrFilter = L"CSV (*.csv)\0*.csv\0*.*\0*.*\0";
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrDefExt = L"csv";
    // Rows are appended to a file that exists: choosing it is no overwrite.
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog)) return;
    m_presenter.ReportChosen(platform::win32::Narrow(path.data()));
}

void CBenchDlg::TakeTypedReport() {
    const HWND edit = GetDlgItem(Handle(), IDC_EDIT_REPORT);
    if (!SendMessageW(edit, EM_GETMODIFY, 0, 0)) return;
    // Cleared first: a message the presenter shows takes the focus, and this again.
    SendMessageW(edit, EM_SETMODIFY, FALSE, 0);
    m_presenter.ReportChosen(WindowTextUtf8(edit));
}

void CBenchDlg::ShowDetail() {
    const int row = m_table.SelectedRow();
    SetItemTextUtf8(Handle(), IDC_EDIT_DETAIL, row < 0 ? std::string() : m_table.Detail(static_cast<size_t>(row)));
}

// BenchWindowView.

void CBenchDlg::SetCaptions(const Captions& captions) {
    const HWND window = Handle();
    SetWindowTextUtf8(window, captions.title);
    SetItemTextUtf8(window, IDC_BTN_BENCH_START, captions.start);
    SetItemTextUtf8(window, IDC_BTN_BENCH_STOP, captions.stop);
    SetItemTextUtf8(window, IDC_CHK_STATION, captions.station);
    SetItemTextUtf8(window, IDC_STATIC_REPORT, captions.report);
    SetItemTextUtf8(window, IDC_BTN_REPORT, captions.browse);
    SetItemTextUtf8(window, IDC_CHK_SILENT, captions.silent);
    SetItemTextUtf8(window, IDC_CHK_TABLE, captions.tableView);
    SetItemTextUtf8(window, IDC_BTN_CHECK_ALL, captions.checkAll);
    SetItemTextUtf8(window, IDC_STATIC_CONFIRM, captions.confirmTime);
    SetItemTextUtf8(window, IDC_STATIC_REMOVAL, captions.removalTime);
    m_table.SetHeadings({captions.port, captions.device, captions.state, captions.progress, captions.rate,
                         captions.timeLeft, captions.esn, captions.done, captions.failed, captions.result});
}

void CBenchDlg::SetPorts(const std::vector<PortItem>& ports) {
    m_table.SetRows(ports);
    m_tiles.SetCount(ports.size());
    ShowDetail();
}

void CBenchDlg::UpdateRow(size_t row, const Row& content) {
    m_table.UpdateRow(row, content);
    if (m_table.SelectedRow() == static_cast<int>(row)) ShowDetail();
}

void CBenchDlg::SetTotals(const std::string& text) { SetItemTextUtf8(Handle(), IDC_STATIC_TOTALS, text); }

void CBenchDlg::ShowNow() { RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

void CBenchDlg::SetStation(bool on) { CheckDlgButton(Handle(), IDC_CHK_STATION, on ? BST_CHECKED : BST_UNCHECKED); }

void CBenchDlg::UpdateTile(size_t row, const Tile& tile) { m_tiles.SetTile(row, tile); }

void CBenchDlg::Play(Sound sound) {
    // The program's own WAVE resources; asynchronous, so the window never waits for a sound.
    const int id = sound == Sound::kDone ? IDR_SOUND_DONE : IDR_SOUND_FAILED;
    PlaySoundW(MAKEINTRESOURCEW(id), GetModuleHandleW(nullptr), SND_RESOURCE | SND_ASYNC | SND_NODEFAULT);
}

void CBenchDlg::SetSilent(bool on) { CheckDlgButton(Handle(), IDC_CHK_SILENT, on ? BST_CHECKED : BST_UNCHECKED); }

void CBenchDlg::SetTimes(unsigned confirmSeconds, unsigned removalSeconds) {
    SetItemTextUtf8(Handle(), IDC_EDIT_CONFIRM, std::to_string(confirmSeconds));
    SetItemTextUtf8(Handle(), IDC_EDIT_REMOVAL, std::to_string(removalSeconds));
    SendDlgItemMessageW(Handle(), IDC_EDIT_CONFIRM, EM_SETMODIFY, FALSE, 0);
    SendDlgItemMessageW(Handle(), IDC_EDIT_REMOVAL, EM_SETMODIFY, FALSE, 0);
}

void CBenchDlg::SetReportPath(const std::string& path) {
    SetItemTextUtf8(Handle(), IDC_EDIT_REPORT, path);
    SendDlgItemMessageW(Handle(), IDC_EDIT_REPORT, EM_SETMODIFY, FALSE, 0);
}

void CBenchDlg::EnableControls(const ControlStates& states) {
    const HWND window = Handle();
    m_checksEnabled = states.portChecks;
    EnableWindow(GetDlgItem(window, IDC_BTN_BENCH_START), states.start);
    EnableWindow(GetDlgItem(window, IDC_BTN_BENCH_STOP), states.stop);
    EnableWindow(GetDlgItem(window, IDC_CHK_STATION), states.station);
    // Read-only rather than disabled: a long path can still be scrolled and copied.
    SendDlgItemMessageW(window, IDC_EDIT_REPORT, EM_SETREADONLY, !states.report, 0);
    EnableWindow(GetDlgItem(window, IDC_BTN_REPORT), states.report);
    EnableWindow(GetDlgItem(window, IDC_BTN_CHECK_ALL), states.portChecks);
    m_tiles.RefreshChecks();
    EnableWindow(GetDlgItem(window, IDC_EDIT_CONFIRM), states.times);
    EnableWindow(GetDlgItem(window, IDC_EDIT_REMOVAL), states.times);
    // A button that was just pressed and is now disabled would keep the keyboard focus where no
    // key reaches anything: hand it to the button that now takes input.
    const HWND focus = GetFocus();
    if (!focus || !IsWindowEnabled(focus)) {
        const HWND next = GetDlgItem(window, states.stop    ? IDC_BTN_BENCH_STOP
                                             : states.start ? IDC_BTN_BENCH_START
                                                            : IDC_LIST_BENCH);
        SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
    }
}

bool CBenchDlg::AskYesNo(const std::string& text) { return AskYesNoBox(Handle(), text); }

void CBenchDlg::Inform(const std::string& text) { InformBox(Handle(), text); }
