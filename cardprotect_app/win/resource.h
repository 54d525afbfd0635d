// Resource ids of lockwright.exe. The control ids of the two dialogs are the
// ones the window logic and the tests refer to.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_ABOUTBOX 100
#define IDD_CARDWARDEN_DIALOG 102
#define IDD_PASSWORD_PANEL 129

// The About item of the system menu.
#define IDM_ABOUTBOX 0x0010

// Main window.
#define IDC_LOCK 1006
#define IDC_DISABLE_PASSWORD 1003
#define IDC_ERASE 1004
#define IDC_INFO_LINE 1011
#define IDC_EXIT 1015
#define IDC_DECORATION 1016
#define IDC_CF_BUTTON 1026
#define IDC_SD_BUTTON 1027
#define IDC_BOTTOM_BANNER 1034
#define IDC_TOP_BANNER 1035
#define IDC_ACTION_BACKGROUND 1037
#define IDC_SD_LABEL 1038
#define IDC_CF_LABEL 1039
#define IDC_PANEL_FRAME 1040
#define IDC_STATUS_DISPLAY 1047
#define IDC_STATUS_CAPTION 1048

// Password panel.
#define IDC_PASSWORD 1014
#define IDC_MATCH_MARK 1015
#define IDC_PASSWORD_AGAIN 1018
#define IDC_PASSWORD_ROW 1036
#define IDC_PASSWORD_AGAIN_ROW 1042

// About box.
#define IDC_ABOUT_TEXT 1100

// PNG images. A button's set is four pictures in a row: normal, pressed,
// hover, disabled.
#define IDB_SD 300
#define IDB_CF 304
#define IDB_LOCK 308
#define IDB_UNLOCK 312
#define IDB_DISABLE_PASSWORD 316
#define IDB_ERASE 320
#define IDB_EXIT 324
#define IDB_OK 328
#define IDB_DECORATION 340
#define IDB_MATCH_MARK 341
#define IDB_PASSWORD_ROW 342
#define IDB_PASSWORD_AGAIN_ROW 343
#define IDB_TOP_BANNER 350
#define IDB_ACTION_BACKGROUND 351
#define IDB_BOTTOM_BANNER 352
