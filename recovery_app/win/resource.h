// Resource ids of salvora.exe.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_SALVORA_DIALOG 102

// PNG images of the agreement buttons: normal, pressed and hot.
#define IDB_AGREE 171
#define IDB_AGREE_PRESSED 172
#define IDB_DISAGREE_PRESSED 173
#define IDB_DISAGREE 174
#define IDB_AGREE_HOT 175
#define IDB_DISAGREE_HOT 176

#define IDC_STATUS_TEXT 1000
#define IDC_PROGRESS 1001
#define IDC_AGREE 1002
