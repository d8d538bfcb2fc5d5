// IDispatch for objects that are only ever invoked by dispatch id (event
// sinks, ambient properties): no type information, no names.
#pragma once

#include <oaidl.h>

#include "framework/com_object.h"

namespace fw {

template <class TInterface>
class IDispatchByIdImpl : public TInterface
{
public:
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override
    {
        if (pctinfo == nullptr)
            return E_POINTER;
        *pctinfo = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override
    {
        if (ppTInfo != nullptr)
            *ppTInfo = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
};

// Answers for the interface it implements.
template <class TInterface>
struct InterfaceOf<IDispatchByIdImpl<TInterface>>
{
    using Type = TInterface;
};

} // namespace fw
