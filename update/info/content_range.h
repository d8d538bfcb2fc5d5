// Where the body of an answer to a resumed download belongs in the file: a
// server that honours "Range: bytes=N-" answers 206 with a Content-Range
// header, "bytes N-LAST/TOTAL"; one that does not, or whose file changed
// since the validator sent with If-Range, answers 200 with the whole file.
//
// Plain portable C++ without Windows headers: the header comes from the
// network, and this reader also builds natively for fuzzing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct ContentRange
{
    uint64_t first = 0;
    uint64_t last = 0;
    uint64_t total = 0;
};

// "bytes FIRST-LAST/TOTAL" with FIRST <= LAST < TOTAL, decimal numbers of at
// most 19 digits, single spaces only where shown. False, with range
// untouched, for anything else, an unknown total ("*") included.
bool ParseContentRange(const std::string& text, ContentRange& range);

// The file offset at which the body of an answer goes, for a request that
// asked for the bytes from cbFrom on (0: the whole file) of a file announced
// at cbTotal bytes: 0 for a 200, which brings the whole file again; cbFrom
// for a 206 whose range runs from cbFrom to the end of a file of cbTotal
// bytes. Nothing for any other answer: that try failed.
std::optional<uint64_t> BodyOffset(unsigned long ulStatus, const std::string& contentRange,
                                   uint64_t cbFrom, uint64_t cbTotal);
