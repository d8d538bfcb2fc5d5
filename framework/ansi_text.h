// Text crosses into COM as UTF-16 and comes back as 8-bit text, both in the
// ANSI code page.
#pragma once

#include <string>

namespace fw {

// False, with the text empty, for null or unconvertible input or when
// memory runs out.
bool WideToAnsi(const wchar_t* pszWide, std::string& text) noexcept;
bool AnsiToWide(const char* pszAnsi, std::wstring& text) noexcept;

} // namespace fw
