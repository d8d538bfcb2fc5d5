#include "update/download/installer_tries.h"

#include "update/result_codes.h"

bool IsWorthAnotherTry(HRESULT hr)
{
    // Anything else is the connection's: the platform's own failures of it,
    // the server's silence, a body cut short, an answer that does not fit.
    return FAILED(hr) && hr != E_ABORT && hr != E_DOWNLOAD_HTTP_STATUS &&
           hr != E_DOWNLOAD_TOO_LARGE && hr != E_OUTOFMEMORY;
}

std::string ValidatorOf(const std::string& etag, const std::string& lastModified)
{
    // A weak tag says only that the file means the same, not that its bytes
    // are: never one to join bytes by.
    if (etag.size() >= 2 && etag.front() == '"' && etag.back() == '"')
        return etag;
    return lastModified;
}

std::string RangeRequestHeaders(uint64_t cbFrom, const std::string& validator)
{
    if (cbFrom == 0)
        return std::string();
    const std::string range = "Range: bytes=" + std::to_string(cbFrom) + "-\r\n";
    return validator.empty() ? range : range + "If-Range: " + validator + "\r\n";
}
