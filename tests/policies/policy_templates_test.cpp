// The Group Policy templates against the values the updater reads: a policy
// that writes another name, kind or key than update.exe takes would manage
// nothing, and a text that one language lacks breaks the editor. Windows'
// own parser (MSXML) reads them, as the policy tools do.
#include "update/info/update_policy.h"

#include <windows.h>
#include <msxml2.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "framework/com_ptr.h"

namespace {

// mingw-w64 has no msxml6.h and no library defining these.
const CLSID kClsidDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
const IID kIidXmlDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

const wchar_t* const kLanguages[] = {L"en-US", L"de-DE", L"ru-RU"};

using Names = std::set<std::wstring>;
using Document = fw::CComPtr<IXMLDOMDocument2>;

// A string that COM takes or gives, freed with the object.
struct CBstr
{
    explicit CBstr(const wchar_t* psz = nullptr) : bstr(psz ? SysAllocString(psz) : nullptr) {}
    ~CBstr() { SysFreeString(bstr); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    BSTR bstr;
};

VARIANT Borrowed(const CBstr& text)
{
    VARIANT variant = {};
    variant.vt = VT_BSTR;
    variant.bstrVal = text.bstr;
    return variant;
}

std::wstring Wide(const char* psz)
{
    return std::wstring(psz, psz + std::strlen(psz));
}

// A file of policies/ parsed, with the prefix p for the namespace of ADMX
// and ADML; none when it is missing or not well-formed XML.
Document Load(const std::wstring& name)
{
    const std::filesystem::path path = std::filesystem::path(ZSP_TEST_POLICIES_DIR).make_preferred() / name;
    Document doc;
    VARIANT_BOOL bLoaded = VARIANT_FALSE;
    if (FAILED(CoCreateInstance(kClsidDomDocument60, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument2,
                                reinterpret_cast<void**>(&doc))) ||
        FAILED(doc->put_async(VARIANT_FALSE)) || doc->load(Borrowed(CBstr(path.c_str())), &bLoaded) != S_OK)
    {
        ADD_FAILURE() << path.wstring() << " is missing or not well-formed XML";
        return {};
    }
    doc->setProperty(CBstr(L"SelectionNamespaces").bstr,
                     Borrowed(CBstr(L"xmlns:p='http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions'")));
    return doc;
}

// The texts of the nodes that the XPath expression selects.
Names Select(IXMLDOMDocument2* pDoc, const std::wstring& xpath)
{
    Names texts;
    fw::CComPtr<IXMLDOMNodeList> nodes;
    long nCount = 0;
    if (FAILED(pDoc->selectNodes(CBstr(xpath.c_str()).bstr, &nodes)) || FAILED(nodes->get_length(&nCount)))
        ADD_FAILURE() << "cannot select " << xpath;
    for (long i = 0; i < nCount; ++i)
    {
        fw::CComPtr<IXMLDOMNode> node;
        CBstr text;
        if (SUCCEEDED(nodes->get_item(i, &node)) && SUCCEEDED(node->get_text(&text.bstr)))
            texts.insert(text.bstr ? text.bstr : L"");
    }
    return texts;
}

// The ids that the template's attributes name as $(kind.id).
Names References(IXMLDOMDocument2* pAdmx, const std::wstring& kind)
{
    const std::wstring opening = L"$(" + kind + L".";
    Names ids;
    for (const std::wstring& text : Select(pAdmx, L"//@*[starts-with(., '" + opening + L"')]"))
        ids.insert(text.substr(opening.size(), text.find(L')') - opening.size()));
    return ids;
}

class PolicyTemplatesTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

} // namespace

// Each language defines exactly the texts and presentations that the
// template names, and presents exactly its elements.
TEST_F(PolicyTemplatesTest, EveryLanguageHasWhatTheTemplateNames)
{
    const Document admx = Load(L"VexilZSP.admx");
    ASSERT_TRUE(admx);
    const Names strings = References(admx, L"string"), presentations = References(admx, L"presentation");
    ASSERT_FALSE(strings.empty() || presentations.empty());
    for (const wchar_t* pszLanguage : kLanguages)
    {
        SCOPED_TRACE(::testing::Message() << pszLanguage);
        const Document adml = Load(std::wstring(pszLanguage) + L"\\VexilZSP.adml");
        ASSERT_TRUE(adml);
        EXPECT_EQ(Select(adml, L"//p:stringTable/p:string/@id"), strings);
        EXPECT_EQ(Select(adml, L"//p:presentationTable/p:presentation/@id"), presentations);
        EXPECT_EQ(Select(adml, L"//p:presentation/*/@refId"), Select(admx, L"//p:elements/*/@id"));
    }
}

// Every value the updater reads and no other, under its key for the
// computer and the user alike: a number as decimals, a text as text.
TEST_F(PolicyTemplatesTest, WritesExactlyTheValuesTheUpdaterReads)
{
    const Document admx = Load(L"VexilZSP.admx");
    ASSERT_TRUE(admx);
    Names numbers, texts, all;
    for (const PolicyValueInfo& value : kPolicyValues)
    {
        (value.kind == PolicyValueKind::Number ? numbers : texts).insert(Wide(value.pszName));
        all.insert(Wide(value.pszName));
    }
    EXPECT_EQ(Select(admx, L"//p:policy/@valueName | //p:elements/*/@valueName | //p:item/@valueName"), all);
    EXPECT_EQ(Select(admx, L"//p:policy[p:enabledValue/p:decimal and p:disabledValue/p:decimal]/@valueName"
                           L" | //p:enum[not(p:item[not(p:value/p:decimal)])]/@valueName"
                           L" | //p:elements/p:decimal/@valueName"),
              numbers);
    EXPECT_EQ(Select(admx, L"//p:elements/p:text/@valueName"), texts);
    EXPECT_EQ(Select(admx, L"//@key | //@defaultKey"), Names{Wide(kPolicySubkey)});
    EXPECT_EQ(Select(admx, L"//p:elements/p:text/@maxLength"), Names{std::to_wstring(kMaxPolicyText)});
    EXPECT_EQ(Select(admx, L"//p:policy/@class"), Names{L"Both"});
}
