// Resource ids of salvora.exe: dialog templates, pictures, strings and
// control ids.
#pragma once

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_SALVORA_DIALOG 102
#define IDD_AGREE 107
#define IDD_ABOUTBOX_2K 161
#define IDD_SETTINGS 162
#define IDD_REC_ERR 163

// Icon and strings.
#define IDR_MAINFRAME 128
#define IDS_PRODUCT_NAME 102

// Pictures of the main window (type PNG).
#define IDB_BACKGROUND 132
#define IDB_LOGO 133
#define IDB_SETTINGS_UP 136
#define IDB_RECOVER_UP 137
#define IDB_ABOUT_UP 138
#define IDB_EXIT_UP 139
#define IDB_BLANK 143
#define IDB_BANNER 144
#define IDB_ELAPSED_CAPTION 145
#define IDB_ABOUT_DOWN 150
#define IDB_ABOUT_FOCUS 152
#define IDB_EXIT_FOCUS 154
#define IDB_EXIT_DOWN 155
#define IDB_RECOVER_FOCUS 156
#define IDB_RECOVER_DOWN 157
#define IDB_SETTINGS_FOCUS 158
#define IDB_SETTINGS_DOWN 159
#define IDB_COUNT_CAPTION 160
#define IDB_FORMAT_UP 161
#define IDB_FORMAT_DOWN 162
#define IDB_FORMAT_FOCUS 163
#define IDB_PROTECT_FOCUS 168
#define IDB_PROTECT_UP 169
#define IDB_PROTECT_DOWN 170
// The about box's picture and the error dialog's illustration.
#define IDB_ABOUT_PICTURE 149
#define IDB_ERROR_PICTURE 167
// The agreement's buttons: normal, pressed and hot.
#define IDB_AGREE 171
#define IDB_AGREE_PRESSED 172
#define IDB_DISAGREE_PRESSED 173
#define IDB_DISAGREE 174
#define IDB_AGREE_HOT 175
#define IDB_DISAGREE_HOT 176

// Main window.
#define IDC_SAVED_PATH 1000
#define IDC_BROWSE 1001
#define IDC_SCAN_DISK 1002
#define IDC_RECOVER 1003
#define IDC_DISK_LIST 1004
#define IDC_PARTITION_LIST 1005
#define IDC_DETECT_PARTITION 1006
#define IDC_FOLDER_LABEL 1008
#define IDC_PROGRESS 1009
#define IDC_RECOVERED_LABEL 1010
#define IDC_FILE_COUNT 1011
#define IDC_ABOUT 1014
#define IDC_SETTINGS 1015
#define IDC_BANNER 1016
#define IDC_LOGO 1017
#define IDC_FORMAT_TOOL 1018
#define IDC_PROTECTION_TOOL 1019
#define IDC_BLANK 1020
#define IDC_ELAPSED_CAPTION 1021
#define IDC_ELAPSED_TIME 1022
#define IDC_COUNT_CAPTION 1023
#define IDC_DETECTING 1025

// Settings.
#define IDC_CHOOSE 1001
#define IDC_SAVED_PATH_LABEL 1008
#define IDC_JPEG 1027
#define IDC_BMP 1028
#define IDC_INDD 1029
#define IDC_RIFF 1030
#define IDC_TIFF 1031
#define IDC_RAW 1032
#define IDC_CRW 1033
#define IDC_X3F 1034
#define IDC_MRW 1035
#define IDC_ORF 1036
#define IDC_MP3 1038
#define IDC_RAF 1039
#define IDC_OFFICE 1041
#define IDC_ZIP 1042
#define IDC_PDF 1043
#define IDC_MPG 1045
#define IDC_M2TS 1047
#define IDC_MOV 1049
#define IDC_DESTINATION_GROUP 1053
#define IDC_TYPES_GROUP 1054
#define IDC_FILE_GROUP 1057
#define IDC_DESELECT_ALL 1060
#define IDC_REMOVABLE_DISKS 1061
#define IDC_FIXED_DISKS 1062
#define IDC_ALL_DISKS 1063
#define IDC_DISK_TYPE_GROUP 1064

// About boxes.
#define IDC_VERSION_TEXT 1012
#define IDC_CONTACT_TEXT 1025
#define IDC_CONTACT_LINK 1026
#define IDC_NOTICE_1 1067
#define IDC_NOTICE_2 1068
#define IDC_NOTICE_3 1069
#define IDC_NOTICE_SCROLL 1070

// Agreement.
#define IDC_AGREEMENT_TEXT 1071

// Error dialog.
#define IDC_ERROR_PICTURE 1018
#define IDC_ERROR_TEXT 1066

// Window messages and timers of the main window.
#define WM_UPDATE_FILE_COUNT 7001
#define IDT_ELAPSED 7002
