#include <gtest/gtest.h>

#include "property_bag.h"

namespace {

VARIANT Text(const WCHAR* s)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(s);
    return v;
}

}  // namespace

TEST(PropertyBag, AnswersOnlyItsOwnInterface)
{
    auto* bag = new CPropertyBag;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(bag->QueryInterface(IID_IUnknown, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(bag->QueryInterface(IID_IPersistPropertyBag, &out), E_NOINTERFACE);
    EXPECT_EQ(bag->QueryInterface(IID_IPropertyBag, nullptr), E_POINTER);

    ASSERT_EQ(bag->QueryInterface(IID_IPropertyBag, &out), S_OK);
    EXPECT_EQ(out, static_cast<IPropertyBag*>(bag));
    EXPECT_EQ(bag->AddRef(), 3u);
    EXPECT_EQ(bag->Release(), 2u);
    EXPECT_EQ(bag->Release(), 1u);
    EXPECT_EQ(bag->Release(), 0u);  // frees the bag
}

TEST(PropertyBag, NewerWriteWinsAndUnknownNamesLeaveTheValue)
{
    ComPtr<IPropertyBag> bag;
    bag.Attach(new CPropertyBag);
    VARIANT first = Text(L"CAM1:");
    VARIANT second = Text(L"CAM2:");
    ASSERT_EQ(bag->Write(L"VCapName", &first), S_OK);
    ASSERT_EQ(bag->Write(L"VCapName", &second), S_OK);
    VariantClear(&first);  // the bag keeps copies of its own
    VariantClear(&second);

    VARIANT got;
    VariantInit(&got);
    ASSERT_EQ(bag->Read(L"VCapName", &got, nullptr), S_OK);
    ASSERT_EQ(got.vt, VT_BSTR);
    EXPECT_STREQ(got.bstrVal, L"CAM2:");
    VariantClear(&got);

    VARIANT untouched;
    VariantInit(&untouched);
    untouched.vt = VT_I4;
    untouched.lVal = 77;
    for (const WCHAR* name : {L"vcapname", L"VCapName ", L"Other"}) {
        EXPECT_EQ(bag->Read(name, &untouched, nullptr), S_OK);
        EXPECT_EQ(untouched.vt, VT_I4);
        EXPECT_EQ(untouched.lVal, 77);
    }
}
