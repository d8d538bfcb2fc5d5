// The tests' stand-in for the mail client: a windowed program that loads
// the plug-in from the product folder, as the mail client does, and holds it
// until its window is closed.
//   kestrix.exe PLUGIN_PATH
#include <windows.h>

#include "framework/handles.h"

namespace {

constexpr char kClassName[] = "ZspTestKestrix";
constexpr char kTitle[] = "Kestrix!";
// A test that fails to close it leaves nothing running for long.
constexpr UINT kLifetimeMs = 2 * 60 * 1000;
constexpr UINT_PTR kLifetimeTimer = 1;

LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case WM_TIMER:
        DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR pszCmdLine, int)
{
    fw::CModuleHandle plugin(LoadLibraryExA(pszCmdLine, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!plugin)
        return 2;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = kClassName;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    if (RegisterClassA(&wc) == 0)
        return 3;
    HWND hWnd = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                320, 200, nullptr, nullptr, hInstance, nullptr);
    if (hWnd == nullptr)
        return 4;
    SetTimer(hWnd, kLifetimeTimer, kLifetimeMs, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
