// BSTR and VARIANT rules, held to the same expectations on POSIX and Windows.

#include <gtest/gtest.h>

#include <string>

#include "platform/OleAuto.h"

namespace {

// A dispatch object that counts its references.
class CountedDispatch final : public IDispatch {
  public:
    ULONG references = 1;

    HRESULT QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
};

BSTR MakeBstr(std::u16string_view text) {
    return SysAllocStringLen(AsOle(text.data()), static_cast<UINT>(text.size()));
}

TEST(Bstr, KeepsEmbeddedNulsAndItsLength) {
    const std::u16string text(u"a\0b\0c", 5);
    BSTR value = MakeBstr(text);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(SysStringLen(value), 5u);
    EXPECT_EQ(BstrView(value), text);
    EXPECT_EQ(value[5], 0) << "terminated after its length";
    SysFreeString(value);
}

TEST(Bstr, NullAndEmptyTexts) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);

    BSTR empty = SysAllocString(AsOle(u""));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0u);
    SysFreeString(empty);

    BSTR sized = SysAllocStringLen(nullptr, 3);
    ASSERT_NE(sized, nullptr);
    EXPECT_EQ(SysStringLen(sized), 3u);
    SysFreeString(sized);
}

TEST(Bstr, StopsAtTheFirstNulWhenNoLengthIsGiven) {
    BSTR value = SysAllocString(AsOle(u"ab\0cd"));
    EXPECT_EQ(SysStringLen(value), 2u);
    SysFreeString(value);
}

TEST(Variant, ClearFreesWhatItOwnsAndNothingByReference) {
    CountedDispatch object;
    VARIANT held;
    VariantInit(&held);
    EXPECT_EQ(held.vt, VT_EMPTY);
    held.vt = VT_DISPATCH;
    held.pdispVal = &object;
    object.AddRef();
    EXPECT_EQ(VariantClear(&held), S_OK);
    EXPECT_EQ(held.vt, VT_EMPTY);
    EXPECT_EQ(object.references, 1u);

    IDispatch* pointer = &object;
    VARIANT reference;
    VariantInit(&reference);
    reference.vt = VT_BYREF | VT_DISPATCH;
    reference.ppdispVal = &pointer;
    EXPECT_EQ(VariantClear(&reference), S_OK);
    EXPECT_EQ(reference.vt, VT_EMPTY);
    EXPECT_EQ(object.references, 1u);
}

TEST(Variant, ClearRefusesUnknownTypes) {
    for (VARTYPE type : {VARTYPE{15}, VARTYPE{0x0FFF}, VARTYPE{VT_BYREF | VT_EMPTY}}) {
        VARIANT value;
        VariantInit(&value);
        value.vt = type;
        EXPECT_EQ(VariantClear(&value), DISP_E_BADVARTYPE) << type;
    }
}

TEST(Variant, CopyMakesItsOwnBstrAndReference) {
    const std::u16string text(u"x\0y", 3);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = MakeBstr(text);

    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_EQ(copy.vt, VT_BSTR);
    EXPECT_NE(copy.bstrVal, source.bstrVal);
    EXPECT_EQ(BstrView(copy.bstrVal), text);

    // Copying over a variant that holds a value frees that value first.
    CountedDispatch object;
    VARIANT dispatch;
    VariantInit(&dispatch);
    dispatch.vt = VT_DISPATCH;
    dispatch.pdispVal = &object;
    ASSERT_EQ(VariantCopy(&copy, &dispatch), S_OK);
    EXPECT_EQ(copy.vt, VT_DISPATCH);
    EXPECT_EQ(object.references, 2u);
    VariantClear(&copy);
    EXPECT_EQ(object.references, 1u);
    VariantClear(&source);
}

TEST(Variant, CopyIndResolvesReferences) {
    INT number = 42;
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BYREF | VT_INT;
    source.pintVal = &number;
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK);
    EXPECT_EQ(copy.vt, VT_INT);
    EXPECT_EQ(copy.intVal, 42);

    const std::u16string text(u"by\0ref", 6);
    BSTR referenced = MakeBstr(text);
    source.vt = VT_BYREF | VT_BSTR;
    source.pbstrVal = &referenced;
    ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK);
    EXPECT_EQ(copy.vt, VT_BSTR);
    EXPECT_NE(copy.bstrVal, referenced);
    EXPECT_EQ(BstrView(copy.bstrVal), text);
    VariantClear(&copy);
    SysFreeString(referenced);

    CountedDispatch object;
    IDispatch* pointer = &object;
    source.vt = VT_BYREF | VT_DISPATCH;
    source.ppdispVal = &pointer;
    ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK);
    EXPECT_EQ(copy.vt, VT_DISPATCH);
    EXPECT_EQ(copy.pdispVal, &object);
    EXPECT_EQ(object.references, 2u);
    VariantClear(&copy);
    EXPECT_EQ(object.references, 1u);
}

TEST(Variant, CopyIndThroughAVariantReference) {
    CountedDispatch object;
    VARIANT inner;
    VariantInit(&inner);
    inner.vt = VT_DISPATCH;
    inner.pdispVal = &object;
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BYREF | VT_VARIANT;
    source.pvarVal = &inner;
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK);
    EXPECT_EQ(copy.vt, VT_DISPATCH);
    EXPECT_EQ(object.references, 2u);
    VariantClear(&copy);

    // A reference to a reference to a variant is refused.
    VARIANT outer;
    VariantInit(&outer);
    outer.vt = VT_BYREF | VT_VARIANT;
    outer.pvarVal = &source;
    EXPECT_EQ(VariantCopyInd(&copy, &outer), E_INVALIDARG);
    EXPECT_EQ(object.references, 1u);
}

TEST(Variant, CopyIndInPlace) {
    SHORT number = -7;
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BYREF | VT_I2;
    value.piVal = &number;
    ASSERT_EQ(VariantCopyInd(&value, &value), S_OK);
    EXPECT_EQ(value.vt, VT_I2);
    EXPECT_EQ(value.iVal, -7);
}

}  // namespace
