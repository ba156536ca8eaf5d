// Identifiers of the dialogs, controls, strings, bitmap and icon; shared by
// the code and res/chromatte.rc.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN_DIALOG 102
#define IDR_MAINFRAME 128
#define IDB_LOGO 132
#define IDD_CHANNEL_EDIT 136

// System menu command of the About entry; Windows keeps the low four bits.
#define IDM_ABOUTBOX 0x0010

// Main window (IDOK is "Valider", IDCANCEL "Quitter").
#define IDC_CHANNEL_LIST 1002
#define IDC_ACCOUNT_COMBO 1003
#define IDC_POOL_LIST 1004
#define IDC_ABOUT 1005
#define IDC_ADD 1006
#define IDC_REMOVE 1007
#define IDC_CREATE 1008
#define IDC_EDIT 1009
#define IDC_DELETE 1010

// Name/password dialog.
#define IDC_NAME 1008
#define IDC_PASSWORD 1009

// Messages (French, code page 1252).
#define IDS_APP_TITLE 200
#define IDS_GAME_KEY_UNREADABLE 201
#define IDS_NO_ACCOUNT 202
#define IDS_CHANNELS_UNREADABLE 203
#define IDS_POOL_ACCOUNT_UNREADABLE 204
#define IDS_CHANNEL_EXISTS 205
#define IDS_CONFIRM_DELETE 206
#define IDS_CHANNELS_NOT_SAVED 207
#define IDS_POOL_NOT_SAVED 208
#define IDS_CHANNELS_LEFT_OUT 209
#define IDS_OUT_OF_MEMORY 210
#define IDS_COMMAND_FAILED 211
#define IDS_CHANNELS_CHANGED 212
#define IDS_POOL_CHANNELS_LOST 213
#define IDS_CHANNELS_READ_IN_PART 214
#define IDS_CHANNELS_UNREAD 215
#define IDS_CHANNELS_UNVERIFIED 216
#define IDS_POOL_READ_IN_PART 217
#define IDS_POOL_UNREAD 218
#define IDS_HELP 219
