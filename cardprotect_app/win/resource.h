// Resource ids of lockwright.exe.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_LOCKWRIGHT_DIALOG 102

// PNG images of the Close button: normal, pressed and hot.
#define IDB_CLOSE 210
#define IDB_CLOSE_PRESSED 211
#define IDB_CLOSE_HOT 212

#define IDC_STATUS_TEXT 1000
#define IDC_CLOSE_BUTTON 1001
