// Text crosses into COM as UTF-16 and comes back as 8-bit text, both in the
// ANSI code page.
#pragma once

#include <string>

namespace fw {

// False, with the text empty, for null or unconvertible input or when
// memory runs out.
bool WideToAnsi(const wchar_t* pszWide, std::string& text) noexcept;
// As WideToAnsi, but false also for a character the code page does not hold
// as itself: no look-alike stands in for it (U+FF02 is no '"'), and no '?'.
// For text that is acted on rather than shown, such as an address.
bool WideToAnsiExact(const wchar_t* pszWide, std::string& text) noexcept;
bool AnsiToWide(const char* pszAnsi, std::wstring& text) noexcept;

} // namespace fw
