// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <span>

// Dialog templates: each dialog's caption, size, font and controls with their IDs, texts,
// styles and positions in dialog units. The windows are built from these (CTemplateDialog).

enum class ControlKind { Static, Icon, PushButton, ListBox, ListView, ComboBox };

// Styles, as the template states them.
enum ControlStyle : unsigned {
    CS_NONE = 0,
    CS_HIDDEN = 1u << 0,  // not visible
    CS_TABSTOP = 1u << 1,
    CS_DEFPUSHBUTTON = 1u << 2,  // the default button
    CS_CENTER = 1u << 3,         // centred text
    CS_NOPREFIX = 1u << 4,       // '&' shown as it is
    CS_NOTIFY = 1u << 5,         // list box tells its parent of clicks
    CS_BORDER = 1u << 6,
    CS_VSCROLL = 1u << 7,
    CS_REPORT = 1u << 8,  // list view: report (detail) view
    CS_SINGLESEL = 1u << 9,
    CS_SHOWSELALWAYS = 1u << 10,
    CS_NOCOLUMNHEADER = 1u << 11,
    CS_DROPDOWNLIST = 1u << 12,  // combo box: not editable
    CS_SORT = 1u << 13,
};

enum DialogStyle : unsigned {
    DS_NONE = 0,
    DS_CAPTION = 1u << 0,
    DS_SYSMENU = 1u << 1,  // a system menu, and with it the close box
    DS_MODALFRAME = 1u << 2,
    DS_APPWINDOW = 1u << 3,  // shown in the task bar
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;  // UTF-8; empty for none
    int x, y, cx, cy;  // dialog units
    unsigned style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int cx, cy;            // client size in dialog units
    const char* fontFace;  // "System" means the desktop's own dialog font
    int pointSize;
    unsigned style;
    std::span<const ControlTemplate> controls;

    const ControlTemplate* Control(int controlId) const;
};

// The template of a dialog ID; null for an unknown ID.
const DialogTemplate* FindDialogTemplate(int dialogId);
