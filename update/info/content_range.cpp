#include "update/info/content_range.h"

#include <cstring>

namespace {

// A decimal number of 1 to 19 digits at pos, which then stands after it.
bool ReadNumber(const std::string& text, size_t& pos, uint64_t& value)
{
    const size_t start = pos;
    uint64_t n = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 19)
        n = n * 10 + static_cast<uint64_t>(text[pos++] - '0');
    if (pos == start || (pos < text.size() && text[pos] >= '0' && text[pos] <= '9'))
        return false;
    value = n;
    return true;
}

bool Expect(const std::string& text, size_t& pos, char c)
{
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

} // namespace

bool ParseContentRange(const std::string& text, ContentRange& range)
{
    static const char kUnit[] = "bytes ";
    if (text.compare(0, std::strlen(kUnit), kUnit) != 0)
        return false;
    size_t pos = std::strlen(kUnit);
    ContentRange read;
    if (!ReadNumber(text, pos, read.first) || !Expect(text, pos, '-') ||
        !ReadNumber(text, pos, read.last) || !Expect(text, pos, '/') ||
        !ReadNumber(text, pos, read.total) || pos != text.size() || read.first > read.last ||
        read.last >= read.total)
        return false;
    range = read;
    return true;
}

std::optional<uint64_t> BodyOffset(unsigned long ulStatus, const std::string& contentRange,
                                   uint64_t cbFrom, uint64_t cbTotal)
{
    if (ulStatus == 200)
        return uint64_t{0};
    ContentRange range;
    if (ulStatus == 206 && cbFrom != 0 && ParseContentRange(contentRange, range) &&
        range.first == cbFrom && range.total == cbTotal && range.last + 1 == cbTotal)
        return cbFrom;
    return std::nullopt;
}
