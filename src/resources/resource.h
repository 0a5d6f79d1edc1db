// Resource and command identifiers shared by the resource script and the code.
// Kept free of anything the resource compiler cannot read; the checks at the
// end are hidden from it.
#pragma once

// ---- Icons (101, 106..120, 122) ---------------------------------------------
#define IDI_PROGRAM             101
#define IDI_TRAY_FIRST          106   // empty gauge
#define IDI_TRAY_LAST           120   // full gauge
#define IDI_TRAY_LEVELS         15
#define IDI_DEBUG_WAIT          122

// ---- Dialog templates and the accelerator table (102..105, 109) -------------
#define IDD_ABOUT               102
#define IDD_CONFIGURATION       103
#define IDD_LOAD_GENERATOR      104
#define IDR_ACCELERATORS        105
#define IDD_DEBUG_WAIT          109
#define IDD_COMPUTER_NAME       110

// ---- Dialog controls (per dialog) -------------------------------------------
#define IDC_COMPUTER_NAME       1001  // IDD_COMPUTER_NAME

// IDD_DEBUG_WAIT, the debugger wait dialog
#define IDC_DEBUG_WAIT_TEXT     1029

// About (IDD_ABOUT), Configuration (IDD_CONFIGURATION), Load Generator (IDD_LOAD_GENERATOR)
#define IDC_ABOUT_VERSION       1000
#define IDC_ABOUT_OS            1002
#define IDC_CONFIG_PERIOD       1003
#define IDC_CONFIG_MANUAL       1004
#define IDC_CONFIG_AUTOMATIC    1005
#define IDC_CONFIG_PROCESS_COLOR 1006
#define IDC_CONFIG_THREAD_COLOR 1007
#define IDC_CONFIG_INCREASE_COLOR 1008
#define IDC_CONFIG_DECREASE_COLOR 1009
#define IDC_CONFIG_APPLY        1019
#define IDC_CONFIG_CHANGE_FONT  1020
#define IDC_CONFIG_SAMPLE       1021
#define IDC_CONFIG_FONT_NAME    1022
#define IDC_CONFIG_TRAY_HIGHEST 1023
#define IDC_CONFIG_TRAY_TOTAL   1024
#define IDC_CONFIG_HEX_IDS      1027
#define IDC_LOAD_USER_ACTUAL    1011
#define IDC_LOAD_USER_TARGET    1012
#define IDC_LOAD_PRIVILEGED_ACTUAL 1013
#define IDC_LOAD_PRIVILEGED_TARGET 1014
#define IDC_LOAD_PAGED_ACTUAL   1015
#define IDC_LOAD_PAGED_TARGET   1016
#define IDC_LOAD_PHYSICAL_ACTUAL 1017
#define IDC_LOAD_PHYSICAL_TARGET 1018
#define IDC_LOAD_APPLY          1019
#define IDC_LOAD_RESET          1020

// ---- Commands ---------------------------------------------------------------
#define CMD_NONE                        1
#define CMD_SHOW_TOTAL                  2000
#define CMD_SHOW_IDLE                   2001
#define CMD_LOCAL_MACHINE               2002
#define CMD_REMOTE_MACHINE              2003
#define CMD_ABOUT                       2004
#define CMD_CONFIGURE                   2005
#define CMD_LOAD_GENERATOR              2006
#define CMD_ABOUT_COUNTER               2007
#define CMD_SHOW_HIERARCHY              2008
#define CMD_DEBUG_PROCESS               2009
#define CMD_TERMINATE_PROCESS           2011
#define CMD_ENABLE_PROCESS_BOOST        2013
#define CMD_DISABLE_PROCESS_BOOST       2015
#define CMD_EDIT_SECURITY               2021
#define CMD_PRIORITY_CLASS_IDLE         2104
#define CMD_PRIORITY_CLASS_BELOW_NORMAL 2106
#define CMD_PRIORITY_CLASS_NORMAL       2107
#define CMD_PRIORITY_CLASS_ABOVE_NORMAL 2110
#define CMD_PRIORITY_CLASS_HIGH         2113
#define CMD_PRIORITY_CLASS_REALTIME     2124
#define CMD_ENABLE_THREAD_BOOST         2200
#define CMD_DISABLE_THREAD_BOOST        2201
#define CMD_TERMINATE_THREAD            2202
#define CMD_THREAD_PRIORITY_FIRST       2300
#define CMD_THREAD_PRIORITY_BASE        2315
#define CMD_THREAD_PRIORITY_LAST        2330
#define GRANT_OFFSET                    1000
#define CMD_VIEW_AS_FIRST               7900
#define CMD_VIEW_AS_LAST                7998
#define CMD_PROCESS_COUNTER_FIRST       8000
#define CMD_PROCESS_COUNTER_LAST        8998
#define CMD_THREAD_COUNTER_FIRST        9000
#define CMD_THREAD_COUNTER_LAST         9998
#define CMD_CONTEXT_MENU                40001
#define CMD_ENTER                       40003
#define CMD_EXPAND_ROW                  40004
#define CMD_COLLAPSE_OR_PARENT          40005
#define CMD_PREVIOUS_ROW                40006
#define CMD_NEXT_ROW                    40007
#define CMD_PAGE_DOWN                   40008
#define CMD_PAGE_UP                     40009
#define CMD_FIRST_ROW                   40010
#define CMD_LAST_ROW                    40011
#define CMD_UPDATE_NOW                  40012
#define CMD_EXPAND_ALL                  40015
#define CMD_COLLAPSE_ALL                40016
#define CMD_COPY_ROW                    40017
#define CMD_COPY_ALL_ROWS               40018

// ---- Strings (1000..1186) ---------------------------------------------------
#define IDS_FIRST                       1000

// Access rights of a process (1000..1011), by bit 0x1 upwards.
#define IDS_RIGHT_PROCESS_TERMINATE     1000
#define IDS_RIGHT_PROCESS_CREATE_THREAD 1001
#define IDS_RIGHT_PROCESS_SET_SESSIONID 1002
#define IDS_RIGHT_PROCESS_VM_OPERATION  1003
#define IDS_RIGHT_PROCESS_VM_READ       1004
#define IDS_RIGHT_PROCESS_VM_WRITE      1005
#define IDS_RIGHT_PROCESS_DUP_HANDLE    1006
#define IDS_RIGHT_PROCESS_CREATE_PROCESS 1007
#define IDS_RIGHT_PROCESS_SET_QUOTA     1008
#define IDS_RIGHT_PROCESS_SET_INFORMATION 1009
#define IDS_RIGHT_PROCESS_QUERY_INFORMATION 1010
#define IDS_RIGHT_PROCESS_SET_PORT      1011
// Access rights of a thread (1012..1021), by bit 0x1 upwards.
#define IDS_RIGHT_THREAD_TERMINATE      1012
#define IDS_RIGHT_THREAD_SUSPEND_RESUME 1013
#define IDS_RIGHT_THREAD_ALERT          1014
#define IDS_RIGHT_THREAD_GET_CONTEXT    1015
#define IDS_RIGHT_THREAD_SET_CONTEXT    1016
#define IDS_RIGHT_THREAD_SET_INFORMATION 1017
#define IDS_RIGHT_THREAD_QUERY_INFORMATION 1018
#define IDS_RIGHT_THREAD_SET_THREAD_TOKEN 1019
#define IDS_RIGHT_THREAD_IMPERSONATE    1020
#define IDS_RIGHT_THREAD_DIRECT_IMPERSONATION 1021
// Standard and generic rights (1022..1031), whole-access names (1032, 1033).
#define IDS_RIGHT_DELETE                1022
#define IDS_RIGHT_READ_CONTROL          1023
#define IDS_RIGHT_WRITE_DAC             1024
#define IDS_RIGHT_WRITE_OWNER           1025
#define IDS_RIGHT_SYNCHRONIZE           1026
#define IDS_RIGHT_ACCESS_SYSTEM_SECURITY 1027
#define IDS_RIGHT_GENERIC_ALL           1028
#define IDS_RIGHT_GENERIC_EXECUTE       1029
#define IDS_RIGHT_GENERIC_WRITE         1030
#define IDS_RIGHT_GENERIC_READ          1031
#define IDS_FULL_PROCESS_ACCESS         1032
#define IDS_FULL_THREAD_ACCESS          1033

// Status texts of the view.
#define IDS_STATUS_LOADING              1034
#define IDS_STATUS_NO_MEMORY            1035
#define IDS_STATUS_NOT_AVAILABLE        1036
#define IDS_STATUS_PROCESSING           1102
#define IDS_STATUS_NO_PROCESS_OBJECT    1103
#define IDS_STATUS_NO_PROCESS_LIST      1104

// Command line.
#define IDS_INVALID_ARGUMENT            1037
#define IDS_USAGE                       1060
#define IDS_USAGE_CAPTION               1061

// Menus.
#define IDS_SELECTED_PROCESS            1038
#define IDS_SELECTED_THREAD             1039
#define IDS_MENU_LOCAL_MACHINE          1040
#define IDS_MENU_REMOTE_MACHINE         1041
#define IDS_PRIORITY_IDLE               1062
#define IDS_PRIORITY_LOW                1063
#define IDS_PRIORITY_BELOW_NORMAL       1064
#define IDS_PRIORITY_NORMAL             1065
#define IDS_PRIORITY_ABOVE_NORMAL       1066
#define IDS_PRIORITY_HIGH               1067
#define IDS_PRIORITY_REALTIME           1068
#define IDS_PRIORITY_TIME_CRITICAL      1069
#define IDS_MENU_PRIORITY               1070
#define IDS_MENU_DEBUG                  1071
#define IDS_MENU_CONFIRM_TERMINATE_PROCESS 1153
#define IDS_MENU_CANCEL_TERMINATE_PROCESS  1154
#define IDS_MENU_CONFIRM_DEBUG          1155
#define IDS_MENU_CANCEL_DEBUG           1156
#define IDS_MENU_PRIORITY_CLASS         1157
#define IDS_MENU_YOUR_RIGHTS            1158
#define IDS_MENU_SECURITY_DETAILS       1159
#define IDS_MENU_CONFIRM_TERMINATE_THREAD  1160
#define IDS_MENU_CANCEL_TERMINATE_THREAD   1161
#define IDS_MENU_SHOW_TOTAL             1162
#define IDS_MENU_SHOW_IDLE              1163
#define IDS_MENU_SHOW_HIERARCHY         1164
#define IDS_MENU_UPDATE_NOW             1165
#define IDS_MENU_CONFIGURE              1166
#define IDS_MENU_LOAD_GENERATOR         1167
#define IDS_MENU_VIEW_AS                1168
#define IDS_MENU_PROCESS_ONLY           1169
#define IDS_MENU_NO_PROCESS_COUNTERS    1170
#define IDS_MENU_THREAD_ONLY            1171
#define IDS_MENU_NO_THREAD_COUNTERS     1172
#define IDS_MENU_ABOUT_COUNTER          1173
#define IDS_MENU_ABOUT                  1174

// Operations named in failure reports.
#define IDS_OP_OPEN_THREAD              1043
#define IDS_OP_WINDOW_CREATION          1044
#define IDS_OP_CLASS_REGISTRATION       1047
#define IDS_OP_SET_PROCESS_PRIORITY     1048
#define IDS_OP_OPEN_PROCESS             1049
#define IDS_OP_TERMINATE_PROCESS        1050
#define IDS_OP_TERMINATE_THREAD         1051
#define IDS_OP_ENABLE_THREAD_BOOST      1052
#define IDS_OP_DISABLE_THREAD_BOOST     1053
#define IDS_OP_ENABLE_PROCESS_BOOST     1054
#define IDS_OP_DISABLE_PROCESS_BOOST    1055
#define IDS_OP_SET_THREAD_PRIORITY      1059
#define IDS_OP_READ_COUNTER_NAMES       1076
#define IDS_OP_FIND_COUNTER_NAMES       1079
#define IDS_OP_READ_COUNTER_HELP        1080
#define IDS_OP_SAVE_SETTINGS_WRITE      1081
#define IDS_OP_SAVE_SETTINGS_OPEN       1082
#define IDS_OP_CHANGE_PROCESS_SECURITY  1101
#define IDS_OP_CONNECT_REGISTRY         1142
#define IDS_OP_TIMER_CREATION           1144
#define IDS_OP_CHANGE_THREAD_SECURITY   1175

// Failure reports.
#define IDS_UNKNOWN                     1072
#define IDS_ERROR_CAPTION               1073
#define IDS_KIND_WIN32                  1074
#define IDS_REPORT_FORMAT               1075
#define IDS_NAME_NOT_FOUND              1077
#define IDS_KIND_INTERNAL               1078

// Debugger wait, counter help.
#define IDS_WAITING_FOR_DEBUGGER        1042
#define IDS_COUNTER_ID                  1056
#define IDS_NO_COUNTER_HELP             1057
#define IDS_UNNAMED_COUNTER             1058

// "View As" labels (1085 and 1086 are unused).
#define IDS_VIEW_COUNTER                1083
#define IDS_VIEW_TIMER                  1084
#define IDS_VIEW_BULK_COUNTER           1087
#define IDS_VIEW_NUMBER                 1088
#define IDS_VIEW_HEX_NUMBER             1089
#define IDS_VIEW_LARGE_NUMBER           1090
#define IDS_VIEW_HEX_LARGE_NUMBER       1091
#define IDS_VIEW_100NS_TIMER            1092
#define IDS_VIEW_ELAPSED_TIME           1093
#define IDS_VIEW_BYTES                  1094
#define IDS_VIEW_LARGE_BYTES            1095
#define IDS_VIEW_START_TIME_SHORT       1096
#define IDS_VIEW_START_TIME_LONG        1097
#define IDS_VIEW_TOTAL_TIME             1098
#define IDS_VIEW_BYTES_PER_SEC          1099
#define IDS_VIEW_THREAD_STATE           1100

// Durations and byte sizes.
#define IDS_DURATION_DAYS               1105
#define IDS_DURATION_HOURS              1106
#define IDS_DURATION_MINUTES            1107
#define IDS_DURATION_SECONDS            1108
#define IDS_DURATION_MILLISECONDS       1109
#define IDS_DURATION_MICROSECONDS       1110
#define IDS_DURATION_NANOSECONDS        1111
#define IDS_BYTES_KB                    1112
#define IDS_BYTES_MB                    1113
#define IDS_BYTES_GB                    1114
#define IDS_BYTES_TB                    1115
#define IDS_BYTES_PB                    1116
#define IDS_BYTES_EB                    1117

// Thread states (1118 + state, 1126 beyond the table) and wait reasons
// (1127 + reason below 7, 1120 + reason from 7 to 19, 1123 beyond).
#define IDS_THREAD_STATE_FIRST          1118
#define IDS_WAIT_REASON_UNASSIGNED      1123
#define IDS_THREAD_STATE_UNASSIGNED     1126
#define IDS_WAIT_REASON_FIRST           1127
#define IDS_WAIT_REASON_LAST            1139

// Tray, About, load generator, security summary.
#define IDS_NOT_AVAILABLE               1140
#define IDS_TRAY_TOTAL                  1141
#define IDS_ABOUT_OS                    1143
#define IDS_SIZE_KB                     1145
#define IDS_SIZE_MB                     1146
#define IDS_UNDOCUMENTED_BIT            1150
#define IDS_NO_SECURITY_RIGHTS          1151
#define IDS_SECURITY_READ_FAILED        1152

// The list as assistive technology reads it, and the clipboard.
#define IDS_ACC_LIST                    1176
#define IDS_ACC_LIST_COUNTER            1177
#define IDS_ACC_THREAD                  1178
#define IDS_ACC_EXPAND                  1179
#define IDS_ACC_COLLAPSE                1180
#define IDS_OP_OPEN_CLIPBOARD           1181
#define IDS_OP_EMPTY_CLIPBOARD          1182
#define IDS_OP_CLIPBOARD_MEMORY         1183
#define IDS_OP_SET_CLIPBOARD_DATA       1184
#define IDS_ACC_COLUMN_ID               1185
#define IDS_ACC_COLUMN_NAME             1186

#define IDS_LAST                        1186

#ifndef RC_INVOKED
static_assert(IDI_TRAY_LAST - IDI_TRAY_FIRST + 1 == IDI_TRAY_LEVELS, "tray gauge icons");
static_assert(CMD_THREAD_PRIORITY_BASE - CMD_THREAD_PRIORITY_FIRST == 15 &&
              CMD_THREAD_PRIORITY_LAST - CMD_THREAD_PRIORITY_BASE == 15,
              "thread priority commands span -15..15");
static_assert(CMD_PRIORITY_CLASS_REALTIME + GRANT_OFFSET < CMD_THREAD_PRIORITY_FIRST + GRANT_OFFSET &&
              CMD_THREAD_PRIORITY_LAST + GRANT_OFFSET < CMD_VIEW_AS_FIRST,
              "granted forms stay below the menu ranges");
#endif
