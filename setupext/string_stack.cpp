#include "setupext/string_stack.h"

#include <algorithm>

namespace setupext {

InstallerCallContext g_callContext = {};

void RecordCallContext(int nStringSize, StackNode** ppStackTop)
{
    g_callContext.m_nStringSize = nStringSize;
    g_callContext.m_ppStackTop = ppStackTop;
}

int PopStackString(char* pszDest, int cchDest)
{
    StackNode** ppTop = g_callContext.m_ppStackTop;
    if (ppTop == nullptr || *ppTop == nullptr)
        return 1;
    StackNode* pTop = *ppTop;
    // An entry's text never has more than string size bytes, and the
    // installer may use a string size far beyond our buffers.
    const int cchLimit = std::min(cchDest, std::max(g_callContext.m_nStringSize, 1));
    lstrcpynA(pszDest, pTop->m_szText, cchLimit);
    *ppTop = pTop->m_pNext;
    GlobalFree(pTop);
    return 0;
}

void PushStackString(const char* pszText)
{
    StackNode** ppTop = g_callContext.m_ppStackTop;
    // Below a string size of 1 an entry could not even hold its terminator.
    if (ppTop == nullptr || g_callContext.m_nStringSize < 1)
        return;
    const SIZE_T cbNode = static_cast<SIZE_T>(g_callContext.m_nStringSize) + 8;
    auto* pNode = static_cast<StackNode*>(GlobalAlloc(GPTR, cbNode));
    if (pNode == nullptr)
        return;
    lstrcpynA(pNode->m_szText, pszText, g_callContext.m_nStringSize);
    pNode->m_pNext = *ppTop;
    *ppTop = pNode;
}

} // namespace setupext
