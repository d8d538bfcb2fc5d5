// Counted interface pointers: the reference is released when the holder is
// reset or goes.
#pragma once

#include <objbase.h>
#include <unknwn.h>

namespace fw {

template <class T>
class CComPtr
{
public:
    CComPtr() noexcept : p(nullptr) {}
    CComPtr(T* pOther) noexcept : p(pOther)
    {
        if (p != nullptr)
            p->AddRef();
    }
    CComPtr(const CComPtr& other) noexcept : CComPtr(other.p) {}
    CComPtr(CComPtr&& other) noexcept : p(other.p) { other.p = nullptr; }
    ~CComPtr() { Release(); }

    CComPtr& operator=(T* pOther) noexcept
    {
        if (pOther != nullptr)
            pOther->AddRef();
        Release();
        p = pOther;
        return *this;
    }
    CComPtr& operator=(const CComPtr& other) noexcept { return *this = other.p; }
    CComPtr& operator=(CComPtr&& other) noexcept
    {
        if (this != &other)
        {
            Release();
            p = other.p;
            other.p = nullptr;
        }
        return *this;
    }

    operator T*() const noexcept { return p; }
    T* operator->() const noexcept { return p; }
    // For out-parameters: the holder must be empty.
    T** operator&() noexcept { return &p; }
    bool operator!() const noexcept { return p == nullptr; }

    void Release() noexcept
    {
        T* pTemp = p;
        if (pTemp != nullptr)
        {
            p = nullptr;
            pTemp->Release();
        }
    }
    void Attach(T* pOther) noexcept
    {
        Release();
        p = pOther;
    }
    T* Detach() noexcept
    {
        T* pTemp = p;
        p = nullptr;
        return pTemp;
    }
    template <class Q>
    HRESULT QueryInterface(Q** ppOther) const noexcept
    {
        return p->QueryInterface(__uuidof(Q), reinterpret_cast<void**>(ppOther));
    }

    T* p;
};

} // namespace fw
