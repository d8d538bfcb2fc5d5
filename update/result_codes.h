// The updater's own results, for what the platform reports as success or
// cannot name: every code the updater makes up is here, so that none is
// given twice.
#pragma once

#include <windows.h>
#include <urlmon.h>

// The server sent nothing for too long, or the whole transfer took too long.
constexpr HRESULT E_DOWNLOAD_TIMEOUT = INET_E_CONNECTION_TIMEOUT;
// The server announced or sent more than the download may be.
constexpr HRESULT E_DOWNLOAD_TOO_LARGE =
    MAKE_HRESULT(SEVERITY_ERROR, FACILITY_WIN32, ERROR_FILE_TOO_LARGE);
// The transfer ended with less than the server announced. (The platform
// reports this as success.)
constexpr HRESULT E_DOWNLOAD_CUT_SHORT = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x211);
// The server answered with an HTTP status of 400 or more. (The platform
// reports this as success too.)
constexpr HRESULT E_DOWNLOAD_HTTP_STATUS = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x212);

// The answer to a request for the rest of the installer neither continues
// it nor brings it whole.
constexpr HRESULT E_DOWNLOAD_BAD_ANSWER = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x215);

// The file reopened for the start of the installer is another than the one
// written: something put a file of its own in its place in between.
constexpr HRESULT E_INSTALLER_REPLACED = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x213);
// A file other than the installer is in the update folder and cannot be
// removed, so the installer is not started beside it.
constexpr HRESULT E_UPDATE_FOLDER_NOT_EMPTY = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x214);

// The update information came, but is none: it does not read, or it is not
// signed as the built-in keys require.
constexpr HRESULT E_UPDATE_INFO_UNREADABLE = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x201);
constexpr HRESULT E_UPDATE_INFO_UNTRUSTED = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x202);
// Update information that reads and may be signed, but is refused: it has
// expired, it announces less than trusted information did before, or it
// names an installer address the updater does not fetch from.
constexpr HRESULT E_UPDATE_INFO_EXPIRED = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x203);
constexpr HRESULT E_UPDATE_INFO_ROLLED_BACK = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x204);
constexpr HRESULT E_UPDATE_INFO_NOT_WEB_ADDRESS = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x205);
constexpr HRESULT E_UPDATE_INFO_INSECURE_ADDRESS = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x206);
constexpr HRESULT E_UPDATE_INFO_NO_EXPIRY = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x207);
