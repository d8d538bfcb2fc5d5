// How the download of the installer goes on when its transfer breaks off: a
// new request for the rest of the file, "Range: bytes=N-", with the first
// answer's validator in If-Range so that a file changed on the server meanwhile
// comes whole instead of being joined to the old part. The signed digest
// decides at the end, whatever was joined.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Tries in one run: the first and four more.
constexpr int kMaxInstallerTries = 5;

// The wait before the next try once nTriesMade tries have failed: 2, 4, 8,
// then 16 seconds.
constexpr UINT RetryDelayMs(int nTriesMade)
{
    return 1000u << (nTriesMade < 1 ? 1 : nTriesMade > 4 ? 4 : nTriesMade);
}

// Whether a try that ended with hr after the server had answered is worth
// another: a connection lost, reset or silent, or an answer that does not
// continue the file. An HTTP error status, a size beyond the announced one,
// the user's cancel or a file that cannot be written is not.
bool IsWorthAnotherTry(HRESULT hr);

// What tells the file of the first answer from a changed one: its strong
// ETag, else its Last-Modified date; empty when the answer had neither, and
// a broken-off transfer must then start again from the beginning.
std::string ValidatorOf(const std::string& etag, const std::string& lastModified);

// The request headers for the bytes from cbFrom on, or none for the whole
// file; without a validator, the range is asked for whatever the file is
// now (for another server's copy, where the digest decides).
std::string RangeRequestHeaders(uint64_t cbFrom, const std::string& validator);
