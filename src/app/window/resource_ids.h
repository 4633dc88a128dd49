// SPDX-License-Identifier: Apache-2.0
#pragma once
// Numeric IDs of the program's own resources: dialog templates, their controls, the icon and
// the About command. Library texts have their IDs in lang/string_ids.h.

// Dialog templates.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_VEXLOR_DIALOG = 102;
constexpr int IDD_LANGUAGE = 137;
constexpr int IDD_DATA_CHECK = 141;

// The program's icon.
constexpr int IDR_MAINFRAME = 128;

// Standard dialog commands.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Controls of the main window.
constexpr int IDC_BTN_START = 1000;
constexpr int IDC_BTN_STOP = 1001;
constexpr int IDC_CMB_COM = 1002;
constexpr int IDC_BTN_BACKUP = 1003;
constexpr int IDC_BTN_RESTORE = 1004;
constexpr int IDC_LIST_STATUS = 1012;

// Controls of the secondary dialogs.
constexpr int IDC_LIST_LANGUAGE = 1011;
constexpr int IDC_STATIC_VERSION = 1013;
constexpr int IDC_STATIC_CHECK = 1019;
constexpr int IDC_STATIC = -1;  // a control nobody addresses

// The About command of the main window's menu (the system-menu command of the design).
constexpr unsigned IDM_ABOUTBOX = 0x0010;
