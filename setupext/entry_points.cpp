// The six entry points that the installer calls by name. Each one takes its
// arguments from the installer's string stack and answers there; none
// reports anything through its return value. The same source makes the
// 8-bit library and the Unicode one (TCHAR).
#include <windows.h>

#include <optional>

#include "setupext/plugin_switch.h"
#include "setupext/string_stack.h"
#include "setupext/toolbar_file.h"

using setupext::StackNode;

namespace {

// The installer hands over a plug-in file name of up to 260 characters.
constexpr int kcchPluginFileName = 261;

void SwitchOnPoppedPlugin(bool bFirstFlag, int nSecondFlag)
{
    TCHAR szFileName[kcchPluginFileName] = {};
    setupext::PopStackString(szFileName, kcchPluginFileName);
    setupext::SwitchOnPlugin(bFirstFlag, nSecondFlag, szFileName);
}

void PushAnswer(std::optional<bool> answer)
{
    if (answer)
        setupext::PushStackString(*answer ? TEXT("1") : TEXT("0"));
}

} // namespace

extern "C" {

int __cdecl Check(HWND hWndParent, int nStringSize, TCHAR* pszVariables,
                  StackNode** ppStackTop) noexcept
{
    MessageBox(nullptr, TEXT("Hello"), TEXT(""), MB_OK);
    return 0;
}

void __cdecl DoRegPlg(HWND hWndParent, int nStringSize, TCHAR* pszVariables,
                      StackNode** ppStackTop) noexcept
{
    setupext::RecordCallContext(nStringSize, ppStackTop);
    SwitchOnPoppedPlugin(true, 3);
}

void __cdecl DoAntiSpam(HWND hWndParent, int nStringSize, TCHAR* pszVariables,
                        StackNode** ppStackTop) noexcept
{
    setupext::RecordCallContext(nStringSize, ppStackTop);
    SwitchOnPoppedPlugin(false, 1);
}

void __cdecl IsAntiSpamOn(HWND hWndParent, int nStringSize, TCHAR* pszVariables,
                          StackNode** ppStackTop) noexcept
{
    setupext::RecordCallContext(nStringSize, ppStackTop);
    PushAnswer(setupext::ReadAntiSpamSwitch());
}

void __cdecl IsToolBar(HWND hWndParent, int nStringSize, TCHAR* pszVariables,
                       StackNode** ppStackTop) noexcept
{
    setupext::RecordCallContext(nStringSize, ppStackTop);
    PushAnswer(setupext::HasToolbarCommands());
}

void __cdecl DoToolBar(HWND hWndParent, int nStringSize, TCHAR* pszVariables,
                       StackNode** ppStackTop) noexcept
{
    setupext::RecordCallContext(nStringSize, ppStackTop);
    setupext::AppendToolbarScript();
}

} // extern "C"
