#include "framework/window.h"

#include <cstring>

namespace fw {

namespace {

// The objects whose windows are being created on this thread; the first
// message of a new window takes the newest one.
thread_local void* t_pCreatingObject = nullptr;

// Thunks live in an executable heap of their own.
HANDLE ThunkHeap()
{
    static HANDLE s_hHeap = HeapCreate(HEAP_CREATE_ENABLE_EXECUTE, 0, 0);
    return s_hHeap;
}

// The code differs per architecture; nothing else knows its layout.
#pragma pack(push, 1)
#if defined(_M_IX86) || defined(__i386__)
// stdcall: the window handle is the first argument on the stack.
struct ThunkCode
{
    DWORD m_mov;    // mov dword ptr [esp+4], pThis
    DWORD m_this;
    BYTE m_jmp;     // jmp rel32 WindowProc
    DWORD m_relproc;

    void Set(WNDPROC pfnProc, void* pThis, const void* pCodeAt)
    {
        m_mov = 0x042444C7;
        m_this = reinterpret_cast<DWORD>(pThis);
        m_jmp = 0xE9;
        m_relproc = reinterpret_cast<DWORD>(pfnProc) -
                    (reinterpret_cast<DWORD>(pCodeAt) + sizeof(*this));
    }
};
#elif defined(_M_X64) || defined(__x86_64__)
// The window handle comes in rcx; the procedure may lie anywhere in the
// address space, so it is reached through rax.
struct ThunkCode
{
    WORD m_movRcx;  // mov rcx, pThis
    ULONG64 m_this;
    WORD m_movRax;  // mov rax, WindowProc
    ULONG64 m_proc;
    WORD m_jmpRax;  // jmp rax

    void Set(WNDPROC pfnProc, void* pThis, const void*)
    {
        m_movRcx = 0xB948;
        m_this = reinterpret_cast<ULONG64>(pThis);
        m_movRax = 0xB848;
        m_proc = reinterpret_cast<ULONG64>(pfnProc);
        m_jmpRax = 0xE0FF;
    }
};
#else
#error "No window procedure thunk for this architecture"
#endif
#pragma pack(pop)

} // namespace

ATOM CWndClassInfo::Register(WNDPROC pfnStartProc)
{
    if (m_atom != 0)
        return m_atom;
    CComModule* pModule = GetModule();
    m_wc.hInstance = pModule != nullptr ? pModule->GetModuleInstance() : GetModuleHandleA(nullptr);
    m_wc.lpfnWndProc = pfnStartProc;
    if (m_wc.hCursor == nullptr)
        m_wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    m_atom = RegisterClassExA(&m_wc);
    if (m_atom == 0 && GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
    {
        WNDCLASSEXA existing = {sizeof(existing)};
        m_atom = static_cast<ATOM>(
            GetClassInfoExA(m_wc.hInstance, m_wc.lpszClassName, &existing));
    }
    return m_atom;
}

CWndProcThunk::CWndProcThunk() : m_pCode(nullptr)
{
}

CWndProcThunk::~CWndProcThunk()
{
    if (m_pCode != nullptr)
        HeapFree(ThunkHeap(), 0, m_pCode);
}

bool CWndProcThunk::Init(WNDPROC pfnProc, void* pThis)
{
    if (m_pCode == nullptr)
    {
        HANDLE hHeap = ThunkHeap();
        if (hHeap == nullptr)
            return false;
        m_pCode = HeapAlloc(hHeap, 0, sizeof(ThunkCode));
        if (m_pCode == nullptr)
            return false;
    }
    ThunkCode code;
    code.Set(pfnProc, pThis, m_pCode);
    std::memcpy(m_pCode, &code, sizeof(code));
    FlushInstructionCache(GetCurrentProcess(), m_pCode, sizeof(code));
    return true;
}

void AddCreateWndData(void* pThis)
{
    t_pCreatingObject = pThis;
}

void* ExtractCreateWndData()
{
    void* pThis = t_pCreatingObject;
    t_pCreatingObject = nullptr;
    return pThis;
}

HWND CWindowImplBase::CreateImpl(HWND hWndParent, const RECT* pRect, const char* pszWindowName,
                                 DWORD dwStyle, DWORD dwExStyle, HMENU hMenu, ATOM atom,
                                 void* pCreateParam)
{
    if (m_hWnd != nullptr)
        return nullptr;
    CComModule* pModule = GetModule();
    const HINSTANCE hInstance =
        pModule != nullptr ? pModule->GetModuleInstance() : GetModuleHandleA(nullptr);
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, cx = CW_USEDEFAULT, cy = CW_USEDEFAULT;
    if (pRect != nullptr)
    {
        x = pRect->left;
        y = pRect->top;
        cx = pRect->right - pRect->left;
        cy = pRect->bottom - pRect->top;
    }
    AddCreateWndData(this);
    HWND hWnd = CreateWindowExA(dwExStyle, MAKEINTATOM(atom), pszWindowName, dwStyle, x, y, cx, cy,
                                hWndParent, hMenu, hInstance, pCreateParam);
    // A window that failed before its first message leaves nothing behind.
    ExtractCreateWndData();
    return hWnd;
}

BOOL CWindowImplBase::SubclassWindow(HWND hWnd)
{
    if (m_hWnd != nullptr || !::IsWindow(hWnd))
        return FALSE;
    if (!m_thunk.Init(GetWindowProc(), this))
        return FALSE;
    const LONG_PTR oldProc = SetWindowLongPtrA(
        hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_thunk.GetWNDPROC()));
    if (oldProc == 0)
        return FALSE;
    m_pfnSuperWindowProc = reinterpret_cast<WNDPROC>(oldProc);
    m_hWnd = hWnd;
    return TRUE;
}

WNDPROC CWindowImplRoot::AttachThunk(HWND hWnd, WNDPROC pfnProc, int nProcIndex)
{
    m_hWnd = hWnd;
    if (!m_thunk.Init(pfnProc, this))
    {
        m_hWnd = nullptr;
        return nullptr;
    }
    WNDPROC pProc = m_thunk.GetWNDPROC();
    SetWindowLongPtrA(hWnd, nProcIndex, reinterpret_cast<LONG_PTR>(pProc));
    return pProc;
}

BOOL CWindowImplRoot::DispatchToMap(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    try
    {
        return ProcessWindowMessage(m_hWnd, uMsg, wParam, lParam, lResult, 0);
    }
    catch (...)
    {
        return FALSE;
    }
}

LRESULT CALLBACK CWindowImplBase::StartWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam,
                                                  LPARAM lParam)
{
    auto* pThis = static_cast<CWindowImplBase*>(ExtractCreateWndData());
    WNDPROC pProc =
        pThis != nullptr ? pThis->AttachThunk(hWnd, pThis->GetWindowProc(), GWLP_WNDPROC) : nullptr;
    if (pProc == nullptr)
        return ::DefWindowProcA(hWnd, uMsg, wParam, lParam);
    return pProc(hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK CWindowImplBase::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    // The thunk has put the object where the window handle was.
    auto* pThis = reinterpret_cast<CWindowImplBase*>(hWnd);
    const HWND hWndReal = pThis->m_hWnd;
    LRESULT lResult = 0;
    const BOOL bHandled = pThis->DispatchToMap(uMsg, wParam, lParam, lResult);
    if (!bHandled)
        lResult = pThis->DefWindowProc(uMsg, wParam, lParam);
    if (uMsg == WM_NCDESTROY)
    {
        // The window is gone: give the window back its class procedure and
        // let the object go its own way.
        SetWindowLongPtrA(hWndReal, GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(pThis->m_pfnSuperWindowProc));
        pThis->m_hWnd = nullptr;
        pThis->OnFinalMessage(hWndReal);
    }
    return lResult;
}

} // namespace fw
