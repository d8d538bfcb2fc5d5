// SHA-256 with Windows' own CNG, fed piece by piece.
#pragma once

#include <windows.h>

#include "framework/handles.h"
#include "update/info/update_info.h"

class CSha256
{
public:
    CSha256() = default;
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    // Begins a fresh digest, dropping any unfinished one.
    HRESULT Start();
    HRESULT Add(const void* pData, ULONG cbData);
    // Ends the digest; Start begins the next.
    HRESULT Finish(Sha256Digest& digest);

    static HRESULT Of(const void* pData, ULONG cbData, Sha256Digest& digest);

private:
    // The hash's state lives in our buffer (systems before Windows 7 do not
    // allocate it themselves); members go in reverse order, the hash first.
    fw::CBCryptAlgHandle m_algorithm;
    alignas(8) UCHAR m_hashObject[1024] = {};
    ULONG m_cbHashObject = 0;
    fw::CBCryptHashHandle m_hash;
};
