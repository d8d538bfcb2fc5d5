#include "update/wizard/resource_text.h"

#include <cstdarg>
#include <cstdio>

#include "framework/module.h"

namespace {
constexpr int kTextBuffer = 260;
}

std::string LoadResourceString(UINT uId)
{
    char szText[kTextBuffer];
    fw::LoadResString(uId, szText);
    return szText;
}

std::string FormatResourceString(UINT uId, ...)
{
    const std::string format = LoadResourceString(uId);
    char szText[kTextBuffer] = {};
    va_list args;
    va_start(args, uId);
    std::vsnprintf(szText, sizeof(szText), format.c_str(), args);
    va_end(args);
    return szText;
}
