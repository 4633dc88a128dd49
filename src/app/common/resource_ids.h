// SPDX-License-Identifier: Apache-2.0
#pragma once
// Numeric IDs of the program's own resources, the same in the Qt and the Win32 window: dialog
// templates, their controls, the icon and the About command. Plain macros, so that the Windows
// resource compiler reads this file too. Library texts have their IDs in lang/string_ids.h.

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_VEXLOR_DIALOG 102
#define IDD_LANGUAGE 137
#define IDD_DATA_CHECK 141
#define IDD_BENCH_DIALOG 150

// The program's icon.
#define IDR_MAINFRAME 128

// Standard dialog commands, numbered as <windows.h> numbers them.
#ifndef IDOK
#define IDOK 1
#define IDCANCEL 2
#endif

// Controls of the main window.
#define IDC_BTN_START 1000
#define IDC_BTN_STOP 1001
#define IDC_CMB_COM 1002
#define IDC_BTN_BACKUP 1003
#define IDC_BTN_RESTORE 1004
#define IDC_LIST_STATUS 1012

// Controls of the bench window.
#define IDC_LIST_BENCH 1030  // the port table
#define IDC_BTN_BENCH_START 1031
#define IDC_BTN_BENCH_STOP 1032
#define IDC_CHK_STATION 1033
#define IDC_STATIC_REPORT 1034  // the label before the report file
#define IDC_EDIT_REPORT 1035
#define IDC_BTN_REPORT 1036  // chooses the report file
#define IDC_STATIC_TOTALS 1037
#define IDC_EDIT_DETAIL 1038  // the selected row's last result in full
#define IDC_CHK_SILENT 1039   // silences the sounds
#define IDC_BTN_CHECK_ALL 1040
#define IDC_STATIC_CONFIRM 1041  // the label before the restart wait
#define IDC_EDIT_CONFIRM 1042
#define IDC_STATIC_REMOVAL 1043  // the label before the removal time
#define IDC_EDIT_REMOVAL 1044
#define IDC_CHK_TABLE 1045  // shows the table instead of the tiles

// The bench window's sounds (WAVE resources).
#define IDR_SOUND_DONE 160
#define IDR_SOUND_FAILED 161

// Controls of the secondary dialogs.
#define IDC_LIST_LANGUAGE 1011
#define IDC_STATIC_VERSION 1013
#define IDC_STATIC_CHECK 1019
#define IDC_STATIC (-1)  // a control nobody addresses

// The About command of the main window's system menu.
#define IDM_ABOUTBOX 0x0010
