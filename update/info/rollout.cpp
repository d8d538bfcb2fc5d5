#include "update/info/rollout.h"

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

bool ParseRolloutPercent(const std::string& text, uint16_t& tenths)
{
    const size_t nDot = text.find('.');
    const std::string whole = text.substr(0, nDot);
    const std::string fraction = nDot == std::string::npos ? std::string() : text.substr(nDot + 1);
    if (whole.empty() || whole.size() > 3 || (whole.size() > 1 && whole[0] == '0'))
        return false;
    if (nDot != std::string::npos && (fraction.size() != 1 || !IsDigit(fraction[0])))
        return false;
    unsigned nTenths = 0;
    for (const char c : whole)
    {
        if (!IsDigit(c))
            return false;
        nTenths = nTenths * 10 + static_cast<unsigned>(c - '0');
    }
    nTenths = nTenths * 10 + (fraction.empty() ? 0 : static_cast<unsigned>(fraction[0] - '0'));
    if (nTenths > kMaxRolloutTenths)
        return false;
    tenths = static_cast<uint16_t>(nTenths);
    return true;
}

std::string RolloutPercentText(uint16_t tenths)
{
    const std::string whole = std::to_string(tenths / 10);
    return tenths % 10 == 0 ? whole : whole + "." + std::to_string(tenths % 10);
}
