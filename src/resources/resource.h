// Resource and control ids shared by the .rc files and the code.
#pragma once

// Dialog templates
#define IDD_MAIN_WINDOW 1001
#define IDD_WELCOME_PANE 1002
#define IDD_SOURCE_CHOOSER 1004
#define IDD_TARGET_PANE 1005
#define IDD_INSTALL_PANE 1010
#define IDD_REBOOT_PANE 1011
#define IDD_PUT_BACK_CHOICE 1020

// Main window controls
#define IDC_PANE_LIST 2002
#define IDC_LANGUAGE_BAR 1014

// Controls shared by the panes; a caption's string id equals its control id
#define IDC_WELCOME_TEXT 100
#define IDC_PREVIOUS 101
#define IDC_NEXT 102
#define IDC_USE_INTERNAL 103
#define IDC_USE_EXTERNAL 104
#define IDC_BROWSE 106
#define IDC_TARGET_PROMPT 110
#define IDC_START 111
#define IDC_REBOOT 113
#define IDC_PUT_BACK 114
#define IDC_BUSY_BAR 1006
#define IDC_INTERNAL_NAME 1008
#define IDC_EXTERNAL_PATH 1009
#define IDC_TARGET_LIST 1012
#define IDC_WRITE_PROGRESS 1017
#define IDC_STATUS_LIST 1018
#define IDC_REBOOT_TEXT 4001

// Put back's chooser
#define IDC_CHOICE_PROMPT 4002
#define IDC_CHOICE_LIST 4003
#define IDC_CHOICE_NOTE 4004

// First and last control ids whose captions come from the catalogue
#define IDC_FIRST_LOCALISED 100
#define IDC_LAST_LOCALISED 114

// Language table (RCDATA)
#define IDR_LANGUAGE_NAMES 1015
#define IDR_LANGUAGE_IDS 1016
#define IDR_TEXTS 1019

// Icons
#define IDI_APPLICATION_ICON 8001
#define IDI_STATUS_OK 8002
#define IDI_STATUS_ERROR 8003
#define IDI_STATUS_WARNING 8004

// Catalogue texts
#define IDS_WINDOW_TITLE 1
#define IDS_PANE_WELCOME 5
#define IDS_PANE_TARGET 6
#define IDS_PANE_INSTALL 7
#define IDS_PANE_REBOOT 8
#define IDS_ONE_MOMENT 100
#define IDS_PREVIOUS 101
#define IDS_NEXT 102
#define IDS_USE_INTERNAL 103
#define IDS_USE_EXTERNAL 104
#define IDS_CHECK_WEB 105
#define IDS_BROWSE 106
#define IDS_INTRO_NO_IMAGE 107
#define IDS_INTRO_64 108
#define IDS_INTRO_32 109
#define IDS_TARGET_PROMPT 110
#define IDS_START 111
#define IDS_REBOOT 113
#define IDS_PUT_BACK 114
#define IDS_INSTALLING 3000
#define IDS_FROM_INTERNAL 3001
#define IDS_SOURCE_FILE 3002
#define IDS_SOURCE_NOT_FOUND 3003
#define IDS_NOT_BOOTABLE 3004
#define IDS_ZIP_UNSUPPORTED 3005
#define IDS_UNABLE_TO_INSTALL 3007
#define IDS_TARGET_MISSING 3008
#define IDS_WRITE_TO 3009
#define IDS_DISKETTE_DRIVE 3010
#define IDS_ERASE_WARNING 3011
#define IDS_DISK_ERASE_WARNING 3012
#define IDS_TARGET_CHANGED 3013
#define IDS_SOURCE_TOO_SHORT 3014
#define IDS_NO_INTERNAL_IMAGE 3015
#define IDS_TRIMMED_IMAGE 3016
#define IDS_IMAGE_SHA256 3017
#define IDS_PUT_BACK_OFFER 3018
#define IDS_PUT_BACK_CHANGED 3019
#define IDS_WRITE_STARTED 4000
#define IDS_READING_SOURCE 4001
#define IDS_USB_RESTARTING 4002
#define IDS_USB_RESTARTED 4003
#define IDS_CANT_WRITE 4004
#define IDS_CANT_LOAD_SOURCE 4005
#define IDS_NOT_REMOVABLE_NOW 4006
#define IDS_DRIVE_IN_USE 4007
#define IDS_LARGE_SECTORS 4008
#define IDS_SPANNED_VOLUME 4009
#define IDS_NOT_KEPT 4010
#define IDS_READ_BACK_OK 4011
#define IDS_TARGET_MOVED 4012
#define IDS_WRITE_PROTECTED 4013
#define IDS_NO_MEDIUM 4014
#define IDS_ACCESS_REFUSED 4015
#define IDS_REPLUG_DRIVE 4016
#define IDS_USB_NOT_RESTARTED 4020
#define IDS_NOT_REMOVABLE_DISK 4021
#define IDS_DRIVE_TAKEN_BACK 4022
#define IDS_ACCESS_POLICY 4023
#define IDS_COPY_NOT_KEPT 4025
#define IDS_PUT_BACK_STARTED 4026
#define IDS_PUT_BACK_DONE 4027
#define IDS_PUT_BACK_DAMAGED 4028
#define IDS_SELECT_SOURCE 9906
#define IDS_CLOSING_AFTER_WRITE 9907
// Why the session must wait, shown by Windows while a drive is written
#define IDS_SHUTDOWN_REASON 4024
#define IDS_COPY 9908
// A status line's kind, as words: what a screen reader and a copied report say
#define IDS_KIND_ERROR 9910
#define IDS_KIND_OK 9911
#define IDS_KIND_WARNING 9912
// Names that screen readers give the controls without a label of their own
#define IDS_NAME_IMAGE_FILE 9920
#define IDS_NAME_DRIVE_LIST 9921
#define IDS_NAME_STATUS_LIST 9922
#define IDS_NAME_WRITE_PROGRESS 9923
// Names for screen readers of the pane list and the browse button
#define IDS_NAME_PANE_LIST 9924
#define IDS_NAME_BROWSE 9925
// Names for screen readers of the Reboot pane's text and the language bar
#define IDS_NAME_OUTCOME 3100
#define IDS_NAME_LANGUAGE_BAR 3101
// What a drive row's icon shows, said after its letter
#define IDS_DRIVE_KIND_REMOVABLE 3103
#define IDS_DRIVE_KIND_USB_STICK 3104
#define IDS_DRIVE_KIND_CARD 3105
#define IDS_DRIVE_KIND_DISKETTE 3106
// No copy kept for want of space, on a drive of no letter
#define IDS_NO_COPY_NO_ROOM 3102
// Sticks that call themselves fixed, media of 4,096-byte sectors, and failures of the write by their cause
#define IDS_FIXED_DISK_ROW 3030
#define IDS_FIXED_DISK_WARNING 3031
#define IDS_SECTORS_4096 3032
#define IDS_DRIVE_GONE 4040
#define IDS_MEDIUM_FAILED 4041
// The 32-bit program on 64-bit Windows cannot restart the drive
#define IDS_WOW64_NO_RESTART 3040
// The Reboot pane's text, its parts chosen by what the last write did, and
// the Reboot button's question and refusal
#define IDS_REBOOT_WRITTEN 5000
#define IDS_REBOOT_NEXT 5001
#define IDS_REBOOT_UEFI 5002
#define IDS_REBOOT_REPLUG 5003
#define IDS_REBOOT_NOTHING_WRITTEN 5004
#define IDS_RESTART_QUESTION 5005
#define IDS_RESTART_REFUSED 5006
// Kept copies told apart by medium, and a write cut short found again
#define IDS_WRITE_CUT_SHORT 3020
#define IDS_PUT_BACK_OFFER_DISKETTE 3021
#define IDS_PUT_BACK_MISSING 4030
#define IDS_PUT_BACK_OTHER_MEDIUM 4031
#define IDS_PUT_BACK_ASK_DISKETTE 4032
#define IDS_PUT_BACK_ASK_MEDIUM 4033
// Restarting while others are signed in to the PC
#define IDS_RESTART_OTHERS 5007
// Put back: no write without a copy unasked, a changed medium asked about,
// the limit of kept copies said before Start
#define IDS_NO_COPY_NO_SPACE 3050
#define IDS_NO_COPY_FOLDER 3051
#define IDS_NO_COPY_UNREAD 3052
#define IDS_WRITE_CUT_SHORT_NO_COPY 3053
#define IDS_OLDEST_COPY_GOES 3054
#define IDS_COPIES_SET_ASIDE 3055
#define IDS_COPIES_SET_ASIDE_OWNER 3080
#define IDS_COPIES_SET_ASIDE_FILE 3081
#define IDS_COPIES_SET_ASIDE_LINK 3082
#define IDS_COPIES_SET_ASIDE_CLOSED 3083
#define IDS_WRITE_UNKEPT_ASK 4050
#define IDS_UNKEPT_NOT_WRITTEN 4051
#define IDS_FIXED_NOT_WRITTEN_UNKEPT 4052
#define IDS_NO_RECORD 3090
#define IDS_WRITE_UNRECORDED_ASK 3091
#define IDS_FIXED_NOT_WRITTEN_UNRECORDED 3092
#define IDS_PUT_BACK_ASK_CHANGED 4053
#define IDS_PUT_BACK_DECLINED 4054
#define IDS_PUT_BACK_DONE_KEPT 4055
#define IDS_GPT_NOT_CLEARED 4056
// Put back's chooser: its name, the list's label, its columns, the note
// under it and Cancel
#define IDS_CHOICE_TITLE 4058
#define IDS_CHOICE_PROMPT 4059
#define IDS_CHOICE_DRIVE 4060
#define IDS_CHOICE_KEPT 4061
#define IDS_CHOICE_SIZE 4062
#define IDS_CHOICE_LABEL 4063
#define IDS_CHOICE_NOTE 4064
#define IDS_CANCEL 4065
// Images handed over as they are published: inside a ZIP or gzip archive,
// dropped on the window; the open dialog's filter for every kind taken
#define IDS_ARCHIVE_SOURCE 3070
#define IDS_ARCHIVE_NO_IMAGE 3071
#define IDS_ARCHIVE_SEVERAL_IMAGES 3072
#define IDS_ARCHIVE_ENCRYPTED 3073
#define IDS_ARCHIVE_SPANNED 3074
#define IDS_ARCHIVE_DAMAGED 3075
#define IDS_ARCHIVE_UNSUPPORTED 3076
#define IDS_DROP_DURING_WRITE 3077
#define IDS_DROP_ONE_FILE 3078
#define IDS_ARCHIVE_READING 3079
#define IDS_FILTER_ALL_IMAGES 9935
// A medium too small for the image, the disk that calls itself fixed, and
// failures of the write told with Windows' own number and words
#define IDS_DISKETTE_720 3060
#define IDS_MEDIUM_TOO_SMALL 3061
#define IDS_WOW64_ARM_NO_RESTART 3062
#define IDS_FIXED_DISK_ASK_ONE 3063
#define IDS_FIXED_DISK_ASK 3064
#define IDS_LETTERS_AND 3065
#define IDS_WINDOWS_ERROR 4070
#define IDS_NOTHING_WRITTEN 4071
#define IDS_PART_WRITTEN 4072
#define IDS_USB_TIMEOUT 4073
#define IDS_MEDIUM_SMALLER 4074
#define IDS_UNFORMATTED 4075
#define IDS_INVALID_REQUEST 4076
#define IDS_NOT_KEPT_UNLOCKED 4077
#define IDS_DRIVE_GONE_BEFORE 4078
#define IDS_WINDOWS_ERROR_NUMBER 4079
// The passes of a write and of Put back, named as each begins
#define IDS_PASS_KEEP 4090
#define IDS_PASS_WRITE 4091
#define IDS_PASS_READ_BACK 4092
#define IDS_PASS_PUT_BACK_CHECK 4093
#define IDS_PASS_PUT_BACK_WRITE 4094
#define IDS_PASS_PUT_BACK_READ 4095
#define IDS_PASS_FORMAT 4096
#define IDS_FORMAT_ASK 4102
// A bad spot named where it is, and the first sector a read-back found different
#define IDS_BAD_SPOT_DISKETTE 4097
#define IDS_BAD_SPOT_BYTE 4098
#define IDS_BAD_SPOT_PUT_BACK 4099
#define IDS_DIFFERS_AT_DISKETTE 4100
#define IDS_DIFFERS_AT_BYTE 4101
