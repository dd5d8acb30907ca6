// Resource and control ids shared by the .rc files and the code.
#pragma once

// Dialog templates
#define IDD_MAIN_WINDOW         1001
#define IDD_WELCOME_PANE        1002
#define IDD_SOURCE_CHOOSER      1004
#define IDD_TARGET_PANE         1005
#define IDD_INSTALL_PANE        1010
#define IDD_REBOOT_PANE         1011

// Main window controls
#define IDC_PANE_LIST           2002
#define IDC_LANGUAGE_BAR        1014

// Controls shared by the panes; a caption's string id equals its control id
#define IDC_WELCOME_TEXT        100
#define IDC_PREVIOUS            101
#define IDC_NEXT                102
#define IDC_USE_INTERNAL        103
#define IDC_USE_EXTERNAL        104
#define IDC_BROWSE              106
#define IDC_TARGET_PROMPT       110
#define IDC_START               111
#define IDC_REBOOT              113
#define IDC_BUSY_BAR            1006
#define IDC_INTERNAL_NAME       1008
#define IDC_EXTERNAL_PATH       1009
#define IDC_TARGET_LIST         1012
#define IDC_WRITE_PROGRESS      1017
#define IDC_STATUS_LIST         1018
#define IDC_REBOOT_TEXT         4001

// First and last control ids whose captions come from the catalogue
#define IDC_FIRST_LOCALISED     100
#define IDC_LAST_LOCALISED      113

// Language table (RCDATA)
#define IDR_LANGUAGE_NAMES      1015
#define IDR_LANGUAGE_IDS        1016

// Icons
#define IDI_APPLICATION_ICON    8001
#define IDI_STATUS_OK           8002
#define IDI_STATUS_ERROR        8003
#define IDI_STATUS_WARNING      8004

// Catalogue texts
#define IDS_WINDOW_TITLE        1
#define IDS_PANE_WELCOME        5
#define IDS_PANE_TARGET         6
#define IDS_PANE_INSTALL        7
#define IDS_PANE_REBOOT         8
#define IDS_ONE_MOMENT          100
#define IDS_PREVIOUS            101
#define IDS_NEXT                102
#define IDS_USE_INTERNAL        103
#define IDS_USE_EXTERNAL        104
#define IDS_CHECK_WEB           105
#define IDS_BROWSE              106
#define IDS_INTRO_NO_IMAGE      107
#define IDS_INTRO_64            108
#define IDS_INTRO_32            109
#define IDS_TARGET_PROMPT       110
#define IDS_START               111
#define IDS_REBOOT              113
#define IDS_INSTALLING          3000
#define IDS_FROM_INTERNAL       3001
#define IDS_SOURCE_FILE         3002
#define IDS_SOURCE_NOT_FOUND    3003
#define IDS_NOT_BOOTABLE        3004
#define IDS_ZIP_UNSUPPORTED     3005
#define IDS_UNABLE_TO_INSTALL   3007
#define IDS_TARGET_MISSING      3008
#define IDS_WRITE_TO            3009
#define IDS_DISKETTE_DRIVE      3010
#define IDS_ERASE_WARNING       3011
#define IDS_WRITE_STARTED       4000
#define IDS_READING_SOURCE      4001
#define IDS_USB_RESTARTING      4002
#define IDS_USB_RESTARTED       4003
#define IDS_CANT_WRITE          4004
#define IDS_CANT_LOAD_SOURCE    4005
#define IDS_NOT_REMOVABLE_NOW   4006
#define IDS_DRIVE_IN_USE        4007
#define IDS_LARGE_SECTORS       4008
#define IDS_SPANNED_VOLUME      4009
#define IDS_SELECT_SOURCE       9906
