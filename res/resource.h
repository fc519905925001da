// Resource identifiers of Travok, shared by the program, its resource script and its tests.
#pragma once

// Controls without an identifier of their own
#define IDC_STATIC          (-1)

// Dialog templates
#define IDD_ABOUTBOX        100
#define IDD_CHEIE           130
#define IDD_PROGRESS        150

// Icons
#define IDR_MAINFRAME       102

// String table: start-up and system menu
#define IDP_OLE_INIT_FAILED 100
#define IDS_ABOUTBOX        101
// String table: coding page messages
#define IDS_NO_INPUT        102
#define IDS_NO_KEY          103
#define IDS_ACCESS_DENIED   104
#define IDS_INVALID_FILE    105
#define IDS_BAD_PATH        106
#define IDS_UNKNOWN_ERROR   107
#define IDS_FILE_NOT_FOUND  108
#define IDS_SAME_FILE       109
// String table: messages that keep every byte visible to the user
#define IDS_RESULT_HAS_ZERO 110
#define IDS_FILE_TOO_LARGE  111
#define IDS_OUT_OF_MEMORY   112
#define IDS_RESULT_KEPT     113
#define IDS_ORIGINAL_KEPT   114
#define IDS_TEXT_NOT_IN_CODE_PAGE 115
// String table: fixed texts of the coding page
#define IDS_ERROR_CAPTION   120
#define IDS_ERROR_WITH      121
#define IDS_ERROR_SEPARATOR 122
// String table: file dialog filters and key files
#define IDS_ALL_FILES_FILTER 140
#define IDS_KEY_FILES_FILTER 141
#define IDS_KEY_TOO_LONG    142
#define IDS_KEY_NOT_DIGITS  143
// String table: files dropped onto the page
#define IDS_DROP_ONE_FILE   144
// String table: the progress dialog of a long run
#define IDS_PROGRESS_CODING       150
#define IDS_PROGRESS_DECODING     151
#define IDS_PROGRESS_BYTES        152
#define IDS_PROGRESS_BYTES_SO_FAR 153
#define IDS_PROGRESS_SPEED        154
#define IDS_PROGRESS_LEFT         155
#define IDS_TIME_SECONDS          156
#define IDS_TIME_MINUTES          157
#define IDS_TIME_HOURS            158
// String table: the help page
#define IDS_HELP_MISSING    180
#define IDS_HELP_NOT_OPENED 181

// Coding page controls (template 130)
#define IDC_INPUT           1000
#define IDC_KEY             1001
#define IDC_CODE            1007
#define IDC_DECODE          1008
#define IDC_ACTION          1013
#define IDC_BROWSE_INPUT    1015
#define IDC_OPEN_KEY        1016
#define IDC_BROWSE_OUTPUT   1017
#define IDC_SAVE_KEY        1018
#define IDC_COPY            1019
#define IDC_HELP_BUTTON     1021
#define IDC_INPUT_PATH      1022
#define IDC_FROM_TEXT       1023
#define IDC_FROM_FILE       1024
#define IDC_TO_TEXT         1025
#define IDC_OUTPUT_PATH     1026
#define IDC_TO_FILE         1027
#define IDC_RESULT          1028
#define IDC_PAGE_ICON       1030
#define IDC_ABOUT           1031
// The group boxes framing the input, key and result sides, where files are dropped
#define IDC_INPUT_GROUP     1040
#define IDC_KEY_GROUP       1041
#define IDC_RESULT_GROUP    1042

// Progress dialog controls (template 150)
#define IDC_PROGRESS_FILE   1100
#define IDC_PROGRESS_BAR    1101
#define IDC_PROGRESS_BYTES  1102
#define IDC_PROGRESS_SPEED  1103
#define IDC_PROGRESS_LEFT   1104

// System menu command of the main window
#define IDM_ABOUTBOX        0x0010

// The framework's help command
#define ID_HELP             0xE146
