// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What the main window's presenter asks of a window toolkit: only drawing and asking. The Qt
// window and the Win32 window each implement it; every decision stays in the presenter.
class MainWindowView {
public:
    // One item of the port list: its text, the port number it carries and the device behind it.
    struct PortItem {
        std::string text;
        uint32_t number = 0;
        std::string device;
    };
    // Which controls take input; the two hidden buttons only change when spareButtons says so.
    struct ControlStates {
        bool portList = false;
        bool start = false;
        bool stop = false;
        bool changeSpareButtons = false;
        bool spareButtons = false;
    };

    virtual ~MainWindowView() = default;

    virtual void SetTitle(const std::string& text) = 0;
    // Captions of Start, Stop and the two hidden buttons.
    virtual void SetCaptions(const std::string& start, const std::string& stop, const std::string& backup,
                             const std::string& restore) = 0;
    // The status list: emptied, a line added at the end, a line put on top (the newest first).
    virtual void ClearLines() = 0;
    virtual void AppendLine(const std::string& text) = 0;
    virtual void InsertTopLine(const std::string& text) = 0;
    // Paints what changed at once, without the event loop: the presenter is about to wait (a
    // stop goes through the block being written first).
    virtual void ShowNow() {}
    // The port list: these items with the first selected, or the one item that says there is
    // none (it carries no port).
    virtual void ShowPorts(const std::vector<PortItem>& ports) = 0;
    virtual void ShowNoPort(const std::string& text) = 0;
    // The number of the port the user chose; 0 for the no-port item.
    virtual uint32_t SelectedPort() const = 0;
    virtual void EnableControls(const ControlStates& states) = 0;
    // A question with Yes and No and a warning icon: true only for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // A message with an OK button.
    virtual void Inform(const std::string& text) = 0;
};
