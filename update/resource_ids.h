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
// Shown on every page while the organisation's policy changes what the
// updater does.
#define IDC_WIZ_POLICY_LINE 303

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
// Above the choices when the update was started before and not installed;
// the release notes make room for it.
#define IDC_PENDING_LINE 1011
#define IDC_FINISH_TEXT 228
// The header band at the top of every page: its text is the title, a line
// feed, and the line under the title.
#define IDC_PAGE_HEADER 1100
// Labels that name the control after them for screen readers.
#define IDC_PROGRESS_LABEL 1101
#define IDC_NOTES_LABEL 1102
// How much of the installer has arrived, and how long the rest may take.
#define IDC_DOWNLOAD_FIGURES 1103
// What the check is waiting for; empty until the server is slow.
#define IDC_RETRIEVE_STATUS 1104
// The finish page's outcome icon, and the line under the message that says
// why a run failed (empty unless there is something to say).
#define IDC_FINISH_ICON 1105
#define IDC_FINISH_DETAIL 1106

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

// Why a run failed: one line under message 173 on the finish page.
#define IDS_FAIL_UNREACHABLE 180
// %u the HTTP status, %s its reason phrase.
#define IDS_FAIL_HTTP_STATUS 181
#define IDS_FAIL_STALLED 182
#define IDS_FAIL_INFO_UNREADABLE 183
#define IDS_FAIL_SIGNATURE 184
#define IDS_FAIL_DIGEST 185
// %s the announced size, %s the size received so far (FormatByteSize).
#define IDS_FAIL_TOO_LARGE 186
// %s the announced size, %s the size received (FormatByteSize).
#define IDS_FAIL_TOO_SMALL 187
// %s the system's text for the error.
#define IDS_FAIL_SAVE 188
#define IDS_FAIL_START 189
// The check page, while the server keeps it waiting.
#define IDS_WAITING_FOR_SERVER 190

// Shown in place of the release notes; %s their address.
#define IDS_NOTES_UNAVAILABLE 191

// The finish page's header by outcome: title, line feed, line under it.
#define IDS_FINISH_HEADER_OFFLINE 192
#define IDS_FINISH_HEADER_UP_TO_DATE 193
#define IDS_FINISH_HEADER_FAILED 194
#define IDS_FINISH_HEADER_CANCELLED 195

// Sizes: %u bytes below one kilobyte, else %s the number of the unit, with
// one decimal in the user's format (FormatOneDecimal).
#define IDS_SIZE_BYTES 200
#define IDS_SIZE_KB 201
#define IDS_SIZE_MB 202
#define IDS_SIZE_GB 203
// Download figures: sizes as above, then the time left.
#define IDS_FIGURES_RECEIVED 204
#define IDS_FIGURES_OF 205
#define IDS_FIGURES_OF_TIME_LEFT 206
#define IDS_TIME_LEFT_SECONDS 207
#define IDS_TIME_LEFT_MINUTE 208
#define IDS_TIME_LEFT_MINUTES 209
#define IDS_TIME_LEFT_HOUR 210
#define IDS_TIME_LEFT_HOURS 211
// The installer waits for the programs that hold the product: the names of
// one program, or of several.
#define IDS_CLOSE_HOLDER 212
#define IDS_CLOSE_HOLDERS 213
// Update information refused although it reads: %s when it expired (the
// user's local date and time); %s the version offered, %s the highest one
// offered before; an installer address that is no web address, or one
// without protection where the publisher signs.
#define IDS_FAIL_EXPIRED 214
#define IDS_FAIL_ROLLED_BACK 215
#define IDS_FAIL_NOT_WEB_ADDRESS 216
#define IDS_FAIL_INSECURE_ADDRESS 217
// The installer is not started: the file reopened is not the one written;
// the update folder holds a file (named) that cannot be removed.
#define IDS_FAIL_REPLACED 220
#define IDS_FAIL_FOLDER_NOT_EMPTY 221
// Shown in place of release notes that are not taken from a plain http
// address of another host; %s their address.
#define IDS_NOTES_NOT_SECURE 224
// The main message of a run that refused the update information for trust
// (the connection was fine; the publisher should hear of it), and the line
// for signed information without an expiry time.
#define IDS_UPDATE_UNTRUSTED 225
#define IDS_FAIL_NO_EXPIRY 226
// In place of the download's figures while it waits to try again; %u the
// seconds it waits.
#define IDS_RETRYING 227
// A failure line of the installer's download, %s, followed by the address
// tried last, %s, where the information named mirrors.
#define IDS_FAIL_AT_ADDRESS 228
// A manual run with updates turned off by the organisation: the message and
// the finish page's header.
#define IDS_UPDATES_TURNED_OFF 229
#define IDS_FINISH_HEADER_TURNED_OFF 230
// Under "no newer version" when the organisation holds the product at a
// version: %s the version it allows, %s the newer one not offered.
#define IDS_POLICY_HELD_AT 231
// Page 1's line for an update whose installer an earlier run started and
// that is not installed: %s its version, %s the day it was started.
#define IDS_PENDING_NOT_INSTALLED 232
