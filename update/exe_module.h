// The updater's module object.
#pragma once

#include "framework/module.h"

class CExeModule : public fw::CComModule
{
public:
    CExeModule();

    DWORD m_dwMainThreadId;
};

extern CExeModule g_module;
