// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

// The presenter's headers before <windows.h>: its macros would otherwise rewrite the engine's
// own names (see vexlor_dlg.h).
#include "app/common/bench_window_presenter.h"
#include "app/win32/bench_table.h"
#include "app/win32/bench_tile_panel.h"
#include "app/win32/data_check_dlg.h"
#include "app/win32/dialog_base.h"
#include "app/win32/program_icon.h"

class CResourceLibrary;

// The bench window: a tile per listed port (the table of every column behind the Table box),
// the selected port's last result in full, Start and Stop for the checked ports, "Check all",
// the Station and Silent boxes, the two station times, the report file and the station line in
// large type; a sound on each done and failed handset; Space starts or stops, F5 reads the ports. What it shows and
// allows is decided by its BenchWindowPresenter; this class draws with Win32 and forwards the user's actions and the
// presenter's timer.
class CBenchDlg : public CDialog, private BenchWindowView {
public:
    // The window's result when the package check failed.
    static constexpr int RESULT_CHECK_FAILED = 3;

    CBenchDlg(const CResourceLibrary& library, BenchWindowOptions options);

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static constexpr UINT_PTR kTickTimer = 1;
    // Posted on a change of the screen's scaling: the fonts of our own are made again once the
    // dialog has scaled its controls.
    static constexpr UINT kRescaleFonts = WM_APP + 40;
    HHOOK m_keyHook = nullptr;
    CBenchTilePanel m_tiles;
    HFONT m_lineFont = nullptr;     // the station line's large type
    static CBenchDlg* s_keyWindow;  // the open bench window (one at a time), for the key filter

    void OnInitDialog();
    // The station line's large type: twice the dialog's current font, bold.
    void MakeLineFont();
    void OnCommand(int controlId, int notification);
    // A notification of the port table; true when it was answered (its result set).
    bool OnTableNotify(NMHDR& header);
    void BrowseReport();
    // The report file typed into its box, once the box is left.
    void TakeTypedReport();
    void ShowDetail();
    // Space and F5 for the window, wherever its focus is but in a text box: true when taken.
    bool OnKey(const MSG& message);
    static LRESULT CALLBACK KeyFilter(int code, WPARAM wParam, LPARAM lParam);

    // BenchWindowView: drawing with Win32.
    void SetCaptions(const Captions& captions) override;
    void SetPorts(const std::vector<PortItem>& ports) override;
    void UpdateRow(size_t row, const Row& content) override;
    void UpdateTile(size_t row, const Tile& tile) override;
    void Play(Sound sound) override;
    void SetSilent(bool on) override;
    void SetTimes(unsigned confirmSeconds, unsigned removalSeconds) override;
    void SetTotals(const std::string& text) override;
    void ShowNow() override;
    void SetStation(bool on) override;
    void SetReportPath(const std::string& path) override;
    void EnableControls(const ControlStates& states) override;
    bool AskYesNo(const std::string& text) override;
    void Inform(const std::string& text) override;

    CProgramIcons m_icons;
    CBenchTable m_table;
    bool m_checksEnabled = false;
    CDataCheckDlg m_dataCheckDlg;
    BenchWindowPresenter m_presenter;  // last: it stops its runs before what they use goes
};
