#include "setupext/string_stack.h"

#include <algorithm>
#include <cstdint>

namespace setupext {

namespace {

// The installer allocates a node as the size of its declaration plus the
// text's characters: 8 bytes more in a 32-bit installer, 16 in a 64-bit one.
constexpr uint64_t kcbNodeHeader = sizeof(StackNode);

} // namespace

InstallerCallContext g_callContext = {};

void RecordCallContext(int nStringSize, StackNode** ppStackTop)
{
    g_callContext.m_nStringSize = nStringSize;
    g_callContext.m_ppStackTop = ppStackTop;
}

int PopStackString(TCHAR* pszDest, int cchDest)
{
    StackNode** ppTop = g_callContext.m_ppStackTop;
    if (ppTop == nullptr || *ppTop == nullptr)
        return 1;
    StackNode* pTop = *ppTop;
    // An entry's text never has more than string size characters, and the
    // installer may use a string size far beyond our buffers.
    const int cchLimit = std::min(cchDest, std::max(g_callContext.m_nStringSize, 1));
    lstrcpyn(pszDest, pTop->m_szText, cchLimit);
    *ppTop = pTop->m_pNext;
    GlobalFree(pTop);
    return 0;
}

void PushStackString(const TCHAR* pszText)
{
    StackNode** ppTop = g_callContext.m_ppStackTop;
    // Below a string size of 1 an entry could not even hold its terminator.
    if (ppTop == nullptr || g_callContext.m_nStringSize < 1)
        return;
    // Counted wide: two-byte characters of a huge string size would wrap
    // the size of the block round to a few bytes.
    const uint64_t cbNode =
        static_cast<uint64_t>(g_callContext.m_nStringSize) * sizeof(TCHAR) + kcbNodeHeader;
    if (cbNode > MAXDWORD)
        return;
    auto* pNode = static_cast<StackNode*>(GlobalAlloc(GPTR, static_cast<SIZE_T>(cbNode)));
    if (pNode == nullptr)
        return;
    lstrcpyn(pNode->m_szText, pszText, g_callContext.m_nStringSize);
    pNode->m_pNext = *ppTop;
    *ppTop = pNode;
}

} // namespace setupext
