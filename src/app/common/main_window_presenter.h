// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

#include "app/common/main_window_view.h"
#include "app/common/status_lines.h"
#include "engine/dl_operator.h"
#include "platform/notify_target.h"
#include "serial/serial_port_list.h"

// What the main window decides, whatever toolkit draws it: the lines each status and progress
// message adds, the state of the controls, the instruction lines, the port items, Start, Stop and
// the questions before stopping or closing. The window forwards what the user does and what the
// engine posts, and draws what it is told through its MainWindowView.
class CMainWindowPresenter {
public:
    enum class ControlState { NoPort, Idle, Running };

    // view draws; text gives library texts; op is the window's download operator, to which
    // runs post through target (the window's own).
    CMainWindowPresenter(MainWindowView& view, TextLookup text, CDLOperator& op, platform::NotifyTarget* target,
                         SerialCommSources portSources);

    // The texts the window needs before it opens: the About item and caption, the check's
    // progress format, and what to say when the package check ends with checkResult (negative).
    std::string AboutText() const;       // the About item's text and the About dialog's caption
    std::string AboutVersionText() const;  // the text of the About dialog
    std::string CheckProgressFormat() const;
    std::string CheckFailedText(int32_t checkResult) const;

    // After the package check passed or failed: the title, captions, the no-port item, the
    // instruction lines, and the no-port state.
    void Open();
    // The port numbers of the system's port list, in ascending order.
    std::vector<uint32_t> EnumerateSerialPorts() const;
    // The user opens the port list: it is read afresh.
    void DropDown();
    void Start();
    void Stop();
    void Status(uint32_t statusCode);
    void Progress(uint32_t percentage);
    // The close box, Esc or Enter: true when the window may close now (asked first while a
    // download runs, which is then stopped).
    bool MayClose();

    ControlState State() const { return m_state; }

private:
    void EnableControls(ControlState state);
    std::string SelectedPortName() const;
    // Every run posts a status first: none since Start and no worker means the operator refused.
    void SettleRefusedStart();

    MainWindowView& m_view;
    TextLookup m_text;
    CDLOperator& m_operator;
    platform::NotifyTarget* m_target;
    SerialCommSources m_portSources;
    ControlState m_state = ControlState::NoPort;
    int m_showStatus = 1;
    bool m_statusSinceStart = false;
};
