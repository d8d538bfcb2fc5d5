// Loads the resource library res.dll from the program's own folder. All
// dialogs, strings and the icon of the updater come from it.
#pragma once

#include <windows.h>

#include <string>

#include "framework/handles.h"

class ResourceMgr
{
public:
    ResourceMgr();
    virtual ~ResourceMgr();

    ResourceMgr(const ResourceMgr&) = delete;
    ResourceMgr& operator=(const ResourceMgr&) = delete;

    // Loads the library once; afterwards m_hModule holds nothing on failure.
    void LoadResourceLibrary();

    fw::CModuleHandle m_hModule;
    std::string m_strPath;
};

extern ResourceMgr g_resourceMgr;
