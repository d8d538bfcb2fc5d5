#include "update/resource_mgr.h"

#include <shlwapi.h>

namespace {
constexpr char kResourceLibraryName[] = "res.dll";
}

ResourceMgr g_resourceMgr;

ResourceMgr::ResourceMgr() = default;

ResourceMgr::~ResourceMgr() = default;

void ResourceMgr::LoadResourceLibrary()
{
    if (m_hModule)
        return;

    // The library lies beside the program, wherever the program was started
    // from; a path that fills the buffer may have been cut and is not used.
    char szFolder[MAX_PATH] = {};
    const DWORD cchModule = GetModuleFileNameA(nullptr, szFolder, MAX_PATH);
    if (cchModule == 0 || cchModule >= MAX_PATH)
        return;
    PathRemoveFileSpecA(szFolder);

    char szPath[MAX_PATH] = {};
    if (PathCombineA(szPath, szFolder, kResourceLibraryName) == nullptr)
        return;
    m_strPath = szPath;
    m_hModule.Reset(LoadLibraryA(m_strPath.c_str()));
}
