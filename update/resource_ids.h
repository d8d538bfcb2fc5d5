// Numeric identifiers of the resources that the updater loads from res.dll.
// Included by C++ and by the resource compiler.
#pragma once

// Dialog templates.
#define IDD_UPDATE_WIZARD 207
#define IDD_PG_RETRIEVE_UPDATE 101
#define IDD_PG_NEXT_ACTION 213
#define IDD_PG_DOWNLOAD 210
#define IDD_PG_FINISH 212

// Wizard frame.
#define IDC_WIZ_CANCEL 300
#define IDC_WIZ_CLOSE 301
#define IDC_WIZ_NEXT 302
#define IDC_WIZ_PAGE_AREA 217

// Pages.
#define IDC_PROGRESS 222
#define IDC_BROWSER_HOST 229
#define IDC_RB_INSTALL_NOW 1003
#define IDC_RB_SKIP_VERSION 1004
#define IDC_RB_REMIND_DAY 1005
#define IDC_RB_REMIND_WEEK 1006
#define IDC_VERSION_LINE 1007
#define IDC_SIZE_LINE 1008
#define IDC_NOTICE 1009
#define IDC_HYPERLINK 1010
#define IDC_FINISH_TEXT 228
#define IDC_PAGE_HEADING 1100

// Icon.
#define IDI_PRODUCT 103

// Strings.
#define IDS_UPDATE_INFO_URL 111
#define IDS_DOWNLOAD_PAGE_URL 129
#define IDS_CONFIRM_CANCEL 132
#define IDS_NO_CONNECTION 171
#define IDS_NO_NEW_VERSION 172
#define IDS_UPDATE_FAILED 173
#define IDS_VERSION_LINE 174
#define IDS_SIZE_LINE 175
#define IDS_CANCELLED 176
#define IDS_NO_ADMIN_NOTICE 177
#define IDS_DOWNLOAD_PAGE_LABEL 179
