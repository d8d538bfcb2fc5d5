// The installer's string stack: how arguments reach the entry points and
// how answers go back. TCHAR is char in setupext.dll and wchar_t in its
// Unicode build: the installer's text is of the same width as ours.
#pragma once

#include <windows.h>

#include <cstddef>

namespace setupext {

// One entry of the stack, declared as the installer declares it: the
// address of the entry below, then the text in string size characters. The
// text starts at offset 4 in a 32-bit installer and at 8 in a 64-bit one.
struct StackNode
{
    StackNode* m_pNext;
    TCHAR m_szText[1];
};
static_assert(offsetof(StackNode, m_szText) == sizeof(StackNode*),
              "the text follows the address of the entry below");

// What the last entry point was given; zero until one records it.
struct InstallerCallContext
{
    int m_nStringSize;
    StackNode** m_ppStackTop;
};

extern InstallerCallContext g_callContext;

void RecordCallContext(int nStringSize, StackNode** ppStackTop);

// Takes the top entry off the stack into pszDest, cut to cchDest - 1
// characters. Returns 1 and leaves pszDest alone when there is no entry.
int PopStackString(TCHAR* pszDest, int cchDest);

// Puts a copy of pszText, cut to string size - 1 characters, on the stack.
void PushStackString(const TCHAR* pszText);

} // namespace setupext
