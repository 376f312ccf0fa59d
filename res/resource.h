// Resource identifiers shared by the .rc script and the code.
#pragma once

#define IDM_ABOUTBOX            16
#define IDD_ABOUTBOX            100
#define IDS_ABOUTBOX            101
#define IDD_MAIN_DIALOG         102
#define IDP_SOCKETS_INIT_FAILED 103
#define IDD_PING_SPECIFIC       104
#define IDR_MAINFRAME           128
#define IDR_MAIN_MENU           130
#define IDD_PING_LIST           131

#define IDC_UNITS               1001
#define IDC_FILE_EDIT           1004
#define IDC_FILE_BUTTON         1005
#define IDC_STATUS_EDIT         1006
#define IDC_IP_LIST             1013
#define IDC_PROGRESS            1015
#define IDC_IP_ADDRESS          1021

#define ID_SEARCH               32775
#define ID_DOWNLOAD             32776
#define ID_PING_SPECIFIC        32778
#define ID_PING_LIST            32779

#ifndef ID_HELP
#define ID_HELP                 57670
#endif

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
