#include "update/info/update_policy.h"

#include "update/info/web_address.h"

const PolicyValueInfo kPolicyValues[5] = {
    {PolicyValueId::UpdatesEnabled, "UpdatesEnabled", PolicyValueKind::Number},
    {PolicyValueId::TargetVersionPrefix, "TargetVersionPrefix", PolicyValueKind::Text},
    {PolicyValueId::UpdateInfoUrl, "UpdateInfoUrl", PolicyValueKind::Text},
    {PolicyValueId::DownloadPageUrl, "DownloadPageUrl", PolicyValueKind::Text},
    {PolicyValueId::SkipAndRemindAllowed, "SkipAndRemindAllowed", PolicyValueKind::Number},
};

namespace {

// A version number has at most nine digits here, so that it fits the
// signed numbers a version is read into.
constexpr size_t kMaxDigits = 9;

bool IsDigits(const std::string& text, size_t first, size_t last)
{
    if (last <= first || last - first > kMaxDigits)
        return false;
    for (size_t i = first; i < last; ++i)
    {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

uint32_t DigitsValue(const std::string& text, size_t first, size_t last)
{
    uint32_t value = 0;
    for (size_t i = first; i < last; ++i)
        value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    return value;
}

// A REG_DWORD, or its decimal digits as text, which administrators' scripts
// often write instead.
bool ReadNumber(const RawPolicyValue& value, uint32_t& number)
{
    const std::string& data = value.data;
    if (value.type == kPolicyRegDword && data.size() == 4)
    {
        number = 0;
        for (size_t i = 4; i-- > 0;)
            number = (number << 8) | static_cast<uint8_t>(data[i]);
        return true;
    }
    if (value.type == kPolicyRegSz && IsDigits(data, 0, data.size()))
    {
        number = DigitsValue(data, 0, data.size());
        return true;
    }
    return false;
}

// One to four numbers separated by dots: "2", "2.5", "2.5.1".
bool ReadVersionPrefix(const std::string& text, std::vector<uint32_t>& numbers)
{
    constexpr size_t kMaxNumbers = 4;
    std::vector<uint32_t> read;
    size_t first = 0;
    for (;;)
    {
        size_t last = text.find('.', first);
        if (last == std::string::npos)
            last = text.size();
        if (!IsDigits(text, first, last) || read.size() == kMaxNumbers)
            return false;
        read.push_back(DigitsValue(text, first, last));
        if (last == text.size())
            break;
        first = last + 1;
    }
    numbers = read;
    return true;
}

bool ReadText(const RawPolicyValue& value, std::string& text)
{
    if (value.type != kPolicyRegSz || value.data.empty() || value.data.size() > kMaxPolicyText)
        return false;
    text = value.data;
    return true;
}

// Only addresses the updater would take from its own build: a policy may
// point it at the organisation's own server, not at a plain-http one.
bool ReadAddress(const RawPolicyValue& value, std::string& address)
{
    std::string text;
    if (!ReadText(value, text) || !IsWebAddress(text) || !IsSecureWebAddress(text))
        return false;
    address = text;
    return true;
}

} // namespace

bool UpdatePolicy::IsManaged() const
{
    return updates != UpdatesAllowed::All || !targetPrefix.empty() || !updateInfoUrl.empty() ||
           !downloadPageUrl.empty() || !bSkipAndRemindAllowed;
}

bool UpdatePolicy::AllowsVersion(const VersionNumber& version) const
{
    const int32_t numbers[4] = {version.nMajor, version.nMinor, version.nRelease, version.nBuild};
    for (size_t i = 0; i < targetPrefix.size() && i < 4; ++i)
    {
        if (static_cast<uint32_t>(numbers[i]) != targetPrefix[i])
            return false;
    }
    return true;
}

bool TakePolicyValue(PolicyValueId id, const RawPolicyValue& value, UpdatePolicy& policy)
{
    uint32_t number = 0;
    std::string text;
    switch (id)
    {
    case PolicyValueId::UpdatesEnabled:
        if (!ReadNumber(value, number) || number > 2)
            return false;
        policy.updates = number == 0   ? UpdatesAllowed::None
                         : number == 2 ? UpdatesAllowed::ManualOnly
                                       : UpdatesAllowed::All;
        return true;
    case PolicyValueId::TargetVersionPrefix:
        if (!ReadText(value, text) || !ReadVersionPrefix(text, policy.targetPrefix))
            return false;
        policy.targetPrefixText = text;
        return true;
    case PolicyValueId::UpdateInfoUrl:
        return ReadAddress(value, policy.updateInfoUrl);
    case PolicyValueId::DownloadPageUrl:
        return ReadAddress(value, policy.downloadPageUrl);
    case PolicyValueId::SkipAndRemindAllowed:
        if (!ReadNumber(value, number) || number > 1)
            return false;
        policy.bSkipAndRemindAllowed = number == 1;
        return true;
    }
    return false;
}
