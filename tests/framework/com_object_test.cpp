// The IUnknown of our own COM objects, for what their users' tests leave out.
#include "framework/com_object.h"

#include <oleidl.h>

#include <gtest/gtest.h>

namespace {

class CProbe final : public fw::CComObjectRoot<IPersist, IOleWindow>
{
public:
    explicit CProbe(LONG* pcDeleted) : m_pcDeleted(pcDeleted) {}
    STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetWindow(HWND*) override { return E_NOTIMPL; }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

private:
    ~CProbe() override { InterlockedIncrement(m_pcDeleted); }
    LONG* m_pcDeleted;
};

} // namespace

TEST(ComObjectTest, AllInterfacesNameOneIdentityAndOthersAreRefusedWithNull)
{
    LONG cDeleted = 0;
    CProbe* pProbe = new CProbe(&cDeleted);
    void* pFromPersist = nullptr;
    void* pFromWindow = nullptr;
    void* pOther = pProbe;
    ASSERT_EQ(static_cast<IPersist*>(pProbe)->QueryInterface(IID_IUnknown, &pFromPersist), S_OK);
    ASSERT_EQ(static_cast<IOleWindow*>(pProbe)->QueryInterface(IID_IUnknown, &pFromWindow), S_OK);
    EXPECT_EQ(pFromPersist, pFromWindow);
    EXPECT_EQ(pProbe->QueryInterface(IID_IStream, &pOther), E_NOINTERFACE);
    EXPECT_EQ(pOther, nullptr);
    static_cast<IUnknown*>(pFromPersist)->Release();
    static_cast<IUnknown*>(pFromWindow)->Release();
    EXPECT_EQ(pProbe->Release(), 0u);
    EXPECT_EQ(cDeleted, 1);
}
