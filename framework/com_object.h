// IUnknown for the COM objects of our own, in the manner of a COM object
// root: the object derives from CComObjectRoot over the interfaces it answers
// for, and implements only their own methods.
//
// An object is made with new and starts with one reference, its maker's. The
// count is safe across threads; the last Release deletes the object through
// its virtual destructor, which may therefore be private. IUnknown is always
// answered with the first interface listed, so that all of an object's
// interfaces name one identity; an IID not listed is refused, with the out
// pointer set to null.
#pragma once

#include <objbase.h>
#include <unknwn.h>

namespace fw {

// The interface whose IID a base of an object answers for: the base itself,
// unless it is an implementation layered over an interface.
template <class TBase>
struct InterfaceOf
{
    using Type = TBase;
};

// Lists a base that answers for further IIDs besides its own: those of the
// interfaces it extends, say, or a dispatch interface that it serves.
template <class TBase, const IID&... AlsoIids>
struct AnswersAlso
{
};

namespace detail {

template <class TEntry>
struct InterfaceEntry
{
    using Base = TEntry;
    static bool Answers(REFIID riid)
    {
        return IsEqualIID(riid, __uuidof(typename InterfaceOf<TEntry>::Type));
    }
};

template <class TBase, const IID&... AlsoIids>
struct InterfaceEntry<AnswersAlso<TBase, AlsoIids...>>
{
    using Base = TBase;
    static bool Answers(REFIID riid)
    {
        return InterfaceEntry<TBase>::Answers(riid) || (IsEqualIID(riid, AlsoIids) || ...);
    }
};

template <class TEntry>
using BaseOf = typename InterfaceEntry<TEntry>::Base;

} // namespace detail

template <class TFirst, class... TRest>
class CComObjectRoot : public detail::BaseOf<TFirst>, public detail::BaseOf<TRest>...
{
public:
    CComObjectRoot(const CComObjectRoot&) = delete;
    CComObjectRoot& operator=(const CComObjectRoot&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        IUnknown* pFound = IsEqualIID(riid, IID_IUnknown)
                               ? static_cast<detail::BaseOf<TFirst>*>(this)
                               : Find<TFirst, TRest...>(riid);
        *ppv = pFound;
        if (pFound == nullptr)
            return E_NOINTERFACE;
        pFound->AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override
    {
        return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
    }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG cRef = InterlockedDecrement(&m_cRef);
        if (cRef == 0)
            delete this;
        return static_cast<ULONG>(cRef);
    }

protected:
    CComObjectRoot() noexcept : m_cRef(1) {}
    virtual ~CComObjectRoot() = default;

private:
    template <class TEntry, class... TMore>
    IUnknown* Find(REFIID riid)
    {
        if (detail::InterfaceEntry<TEntry>::Answers(riid))
            return static_cast<detail::BaseOf<TEntry>*>(this);
        if constexpr (sizeof...(TMore) > 0)
            return Find<TMore...>(riid);
        else
            return nullptr;
    }

    LONG m_cRef;
};

} // namespace fw
