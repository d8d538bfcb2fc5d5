#include "update/trust/sha256.h"

HRESULT CSha256::Start()
{
    m_hash.Reset();
    if (!m_algorithm)
    {
        const NTSTATUS status =
            BCryptOpenAlgorithmProvider(m_algorithm.Receive(), BCRYPT_SHA256_ALGORITHM, nullptr, 0);
        if (!BCRYPT_SUCCESS(status))
            return HRESULT_FROM_NT(status);
        DWORD cbObject = 0;
        ULONG cbResult = 0;
        const NTSTATUS query =
            BCryptGetProperty(m_algorithm.Get(), BCRYPT_OBJECT_LENGTH,
                              reinterpret_cast<PUCHAR>(&cbObject), sizeof(cbObject), &cbResult, 0);
        if (!BCRYPT_SUCCESS(query))
        {
            m_algorithm.Reset();
            return HRESULT_FROM_NT(query);
        }
        if (cbObject > sizeof(m_hashObject))
        {
            m_algorithm.Reset();
            return E_OUTOFMEMORY;
        }
        m_cbHashObject = cbObject;
    }
    const NTSTATUS status = BCryptCreateHash(m_algorithm.Get(), m_hash.Receive(), m_hashObject,
                                             m_cbHashObject, nullptr, 0, 0);
    return BCRYPT_SUCCESS(status) ? S_OK : HRESULT_FROM_NT(status);
}

HRESULT CSha256::Add(const void* pData, ULONG cbData)
{
    if (!m_hash)
        return E_UNEXPECTED;
    const NTSTATUS status =
        BCryptHashData(m_hash.Get(), static_cast<PUCHAR>(const_cast<void*>(pData)), cbData, 0);
    return BCRYPT_SUCCESS(status) ? S_OK : HRESULT_FROM_NT(status);
}

HRESULT CSha256::Finish(Sha256Digest& digest)
{
    if (!m_hash)
        return E_UNEXPECTED;
    const NTSTATUS status =
        BCryptFinishHash(m_hash.Get(), digest.data(), static_cast<ULONG>(digest.size()), 0);
    m_hash.Reset();
    return BCRYPT_SUCCESS(status) ? S_OK : HRESULT_FROM_NT(status);
}

HRESULT CSha256::Of(const void* pData, ULONG cbData, Sha256Digest& digest)
{
    CSha256 hash;
    HRESULT hr = hash.Start();
    if (SUCCEEDED(hr))
        hr = hash.Add(pData, cbData);
    if (SUCCEEDED(hr))
        hr = hash.Finish(digest);
    return hr;
}
