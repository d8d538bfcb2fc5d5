// Loads the resource library res.dll from the program's own folder. All
// dialogs, strings and the icon of the updater come from it.
#pragma once

#include <windows.h>

#include <string>

class ResourceMgr
{
public:
    ResourceMgr();
    virtual ~ResourceMgr();

    ResourceMgr(const ResourceMgr&) = delete;
    ResourceMgr& operator=(const ResourceMgr&) = delete;

    // Loads the library once; afterwards m_hModule is null on failure.
    void LoadResourceLibrary();

    HMODULE m_hModule;
    std::string m_strPath;
};

extern ResourceMgr g_resourceMgr;
