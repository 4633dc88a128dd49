// SPDX-License-Identifier: Apache-2.0
#include "app/window/dialog_template.h"

#include "app/common/resource_ids.h"

namespace {

constexpr ControlTemplate kAboutControls[] = {
    {IDR_MAINFRAME, ControlKind::Icon, "", 11, 17, 20, 20, CS_NONE},
    {IDC_STATIC_VERSION, ControlKind::Static, "Vexlor Version 1.0", 40, 10, 151, 8, CS_NOPREFIX},
    {IDOK, ControlKind::PushButton, "OK", 194, 7, 50, 14, CS_DEFPUSHBUTTON | CS_TABSTOP},
};

constexpr ControlTemplate kMainControls[] = {
    {IDC_LIST_STATUS, ControlKind::ListView, "", 7, 7, 351, 154,
     CS_REPORT | CS_SINGLESEL | CS_SHOWSELALWAYS | CS_NOCOLUMNHEADER | CS_BORDER | CS_TABSTOP},
    {IDC_CMB_COM, ControlKind::ComboBox, "", 367, 7, 71, 146, CS_DROPDOWNLIST | CS_VSCROLL | CS_TABSTOP},
    {IDC_BTN_BACKUP, ControlKind::PushButton, "Backup", 367, 24, 70, 30, CS_TABSTOP | CS_HIDDEN},
    {IDC_BTN_START, ControlKind::PushButton, "Start", 367, 59, 70, 31, CS_TABSTOP},
    {IDC_BTN_STOP, ControlKind::PushButton, "Stop", 367, 95, 70, 29, CS_TABSTOP},
    {IDC_BTN_RESTORE, ControlKind::PushButton, "Restore", 367, 131, 70, 30, CS_TABSTOP | CS_HIDDEN},
};

constexpr ControlTemplate kLanguageControls[] = {
    {IDC_STATIC, ControlKind::Static, "Specific a language:", 7, 7, 81, 8, CS_NONE},
    {IDC_LIST_LANGUAGE, ControlKind::ListBox, "", 7, 17, 233, 40, CS_NOTIFY | CS_BORDER | CS_VSCROLL | CS_TABSTOP},
    {IDOK, ControlKind::PushButton, "OK", 137, 58, 50, 14, CS_DEFPUSHBUTTON | CS_TABSTOP},
    {IDCANCEL, ControlKind::PushButton, "Cancel", 190, 58, 50, 14, CS_TABSTOP},
};

constexpr ControlTemplate kDataCheckControls[] = {
    {IDC_STATIC_CHECK, ControlKind::Static, "Data checking start.....", 16, 20, 155, 8, CS_CENTER},
};

constexpr DialogTemplate kTemplates[] = {
    {IDD_ABOUTBOX, "About Vexlor", 251, 55, "Courier New", 9, DS_CAPTION | DS_SYSMENU | DS_MODALFRAME, kAboutControls},
    {IDD_VEXLOR_DIALOG, "Orvo K310X Firmware Upgrade Tool", 445, 168, "System", 11,
     DS_CAPTION | DS_SYSMENU | DS_MODALFRAME | DS_APPWINDOW, kMainControls},
    {IDD_LANGUAGE, "Language Setting", 247, 79, "Courier New", 9, DS_CAPTION | DS_SYSMENU | DS_MODALFRAME,
     kLanguageControls},
    {IDD_DATA_CHECK, "Data Checking", 186, 50, "System", 10, DS_CAPTION | DS_MODALFRAME, kDataCheckControls},
};

}  // namespace

const ControlTemplate* DialogTemplate::Control(int controlId) const {
    for (const ControlTemplate& control : controls) {
        if (control.id == controlId) return &control;
    }
    return nullptr;
}

const DialogTemplate* FindDialogTemplate(int dialogId) {
    for (const DialogTemplate& dialog : kTemplates) {
        if (dialog.id == dialogId) return &dialog;
    }
    return nullptr;
}
