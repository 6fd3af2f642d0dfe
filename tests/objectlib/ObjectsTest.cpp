// The Kelo objects against the contract: reference counts, QueryInterface,
// maps that copy and keep order, out VARIANTs that already hold a value.

#include <gtest/gtest.h>

#include "objectlib/Diagnostics.h"
#include "objectlib/KeloErrors.h"
#include "tests/objectlib/TestSupport.h"

namespace objectlib_test {
namespace {

class ObjectsTest : public testing::Test {
  protected:
    void SetUp() override { WriteDatastore({}); }
    void TearDown() override { RemoveDatastore(); }
};

struct ClassCase {
    const char16_t* name;
    const IID* own;
};

const ClassCase kClasses[] = {
    {kClassVariantMap, &IID_IVariantMap},
    {kClassDateTime, &IID_IKELODateTime},
    {kClassDateTimeFilter, &IID_IDateTimeFilter},
    {kClassDatastore, &IID_IDatastore},
};

const IID* const kInterfaces[] = {&IID_IVariantMap, &IID_IVariantList, &IID_IKELODateTime,
                                  &IID_IDateTimeFilter, &IID_IDatastore};

// The count an object reports after one more AddRef and Release.
ULONG References(IUnknown& object) {
    object.AddRef();
    return object.Release();
}

TEST_F(ObjectsTest, EveryClassIsCountedAndAnswersItsInterfacesOnly) {
    ManagerHolder manager = Manager();
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)));
        const long before = NSVumoUtil::LiveObjectCount();
        IUnknown* object = nullptr;
        ASSERT_EQ(manager->CreateObject(AsOle(c.name), &object), S_OK);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(NSVumoUtil::LiveObjectCount(), before + 1);
        EXPECT_EQ(References(*object), 1u);

        for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, c.own}) {
            void* answer = nullptr;
            ASSERT_EQ(object->QueryInterface(*iid, &answer), S_OK);
            ASSERT_NE(answer, nullptr);
            EXPECT_EQ(References(*object), 2u);
            static_cast<IUnknown*>(answer)->Release();
            EXPECT_EQ(References(*object), 1u);
        }
        for (const IID* iid : kInterfaces) {
            if (iid == c.own) {
                continue;
            }
            void* answer = &answer;
            EXPECT_EQ(object->QueryInterface(*iid, &answer), E_NOINTERFACE);
            EXPECT_EQ(answer, nullptr);
            EXPECT_EQ(References(*object), 1u);
        }
        EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

        IDispatch* dispatch = nullptr;
        ASSERT_EQ(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
        UINT count = 7;
        DISPID id = 0;
        EXPECT_EQ(dispatch->GetTypeInfoCount(&count), E_NOTIMPL);
        EXPECT_EQ(dispatch->GetTypeInfo(0, 0, nullptr), E_NOTIMPL);
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_IUnknown, nullptr, 0, 0, &id), E_NOTIMPL);
        EXPECT_EQ(dispatch->Invoke(0, IID_IUnknown, 0, 0, nullptr, nullptr, nullptr, nullptr),
                  E_NOTIMPL);
        dispatch->Release();

        EXPECT_EQ(object->Release(), 0u);
        EXPECT_EQ(NSVumoUtil::LiveObjectCount(), before);
    }
}

TEST_F(ObjectsTest, CreateObjectRefusesWhatItDoesNotMake) {
    ManagerHolder manager = Manager();
    IUnknown* object = reinterpret_cast<IUnknown*>(&object);
    const char16_t* const unknown[] = {u"Kelo.Unknown", u"kelo.variantmap", u"Kelo.VariantMap ",
                                       u""};
    for (const char16_t* name : unknown) {
        EXPECT_EQ(manager->CreateObject(AsOle(name), &object), kelo::kClassNotRegistered);
        EXPECT_EQ(object, nullptr);
    }
    EXPECT_EQ(manager->CreateObject(nullptr, &object), E_INVALIDARG);
    EXPECT_EQ(manager->CreateObject(AsOle(kClassVariantMap), nullptr), E_POINTER);
}

TEST_F(ObjectsTest, HelperObjectNeedsKindAndVersionOne) {
    for (const auto& [kind, version] :
         {std::pair{0ul, 1ul}, std::pair{2ul, 1ul}, std::pair{1ul, 0ul}, std::pair{1ul, 2ul}}) {
        NSVumoUtil::IHLPKELOInstance* instance = nullptr;
        EXPECT_EQ(NSVumoUtil::CreateHLPObject(kind, version, &instance), E_INVALIDARG);
        EXPECT_EQ(instance, nullptr);
    }
    EXPECT_EQ(NSVumoUtil::CreateHLPObject(1, 1, nullptr), E_POINTER);

    NSVumoUtil::IHLPKELOInstance* instance = nullptr;
    ASSERT_EQ(NSVumoUtil::CreateHLPObject(1, 1, &instance), 0);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->AddRef(), 2u);
    EXPECT_EQ(instance->Release(), 1u);
    EXPECT_EQ(instance->Release(), 0u);
}

TEST_F(ObjectsTest, CreateManagerKeepsOneReferenceToTheManager) {
    ManagerHolder manager;
    ASSERT_EQ(CreateManager(manager), 0);
    ASSERT_TRUE(manager);
    EXPECT_EQ(NSVumoUtil::LiveObjectCount(), 1);
    EXPECT_EQ(manager->AddRef(), 2u);
    EXPECT_EQ(manager->Release(), 1u);
}

TEST_F(ObjectsTest, NoDatastoreFileMeansNoHelper) {
    RemoveDatastore();
    NSVumoUtil::IHLPKELOInstance* instance = nullptr;
    EXPECT_EQ(NSVumoUtil::CreateHLPObject(1, 1, &instance), kelo::kNoDatastore);
    EXPECT_LT(kelo::kNoDatastore, 0);
    EXPECT_EQ(instance, nullptr);
    ManagerHolder manager;
    EXPECT_EQ(CreateManager(manager), kelo::kNoDatastore);
    EXPECT_FALSE(manager);
}

class MapTest : public ObjectsTest {
  protected:
    void SetUp() override {
        ObjectsTest::SetUp();
        manager_ = Manager();
        map_ = Create<IVariantMap>(*manager_.Get(), kClassVariantMap);
    }
    void TearDown() override {
        map_.Reset();
        manager_.Reset();
        ObjectsTest::TearDown();
    }

    std::vector<std::u16string> Keys() {
        std::vector<std::u16string> keys;
        LONG count = 0;
        EXPECT_EQ(map_->Count(&count), S_OK);
        VARIANT key;
        VariantInit(&key);
        for (LONG i = 0; i < count; ++i) {
            EXPECT_EQ(map_->KeyAt(i, &key), S_OK);
            EXPECT_EQ(key.vt, VT_BSTR);
            keys.emplace_back(BstrView(key.bstrVal));
        }
        VariantClear(&key);
        return keys;
    }

    std::u16string TextAt(LONG index) {
        VARIANT value;
        VariantInit(&value);
        EXPECT_EQ(map_->ValueAt(index, &value), S_OK);
        std::u16string text = value.vt == VT_BSTR ? std::u16string(BstrView(value.bstrVal)) : u"?";
        VariantClear(&value);
        return text;
    }

    ManagerHolder manager_;
    OwningHolder<IVariantMap> map_;
};

TEST_F(MapTest, KeepsInsertionOrderAndReplacesInPlace) {
    EXPECT_EQ(SetEntry(*map_.Get(), u"zeta", Text(u"1")), S_OK);
    EXPECT_EQ(SetEntry(*map_.Get(), u"alpha", Text(u"2")), S_OK);
    EXPECT_EQ(SetEntry(*map_.Get(), u"mid", Text(u"3")), S_OK);
    EXPECT_EQ(SetEntry(*map_.Get(), u"alpha", Text(u"new")), S_OK);
    // Keys differ by an embedded NUL: two entries.
    EXPECT_EQ(SetEntry(*map_.Get(), std::u16string_view(u"a\0b", 3), Text(u"4")), S_OK);
    EXPECT_EQ(SetEntry(*map_.Get(), u"a", Text(u"5")), S_OK);

    EXPECT_EQ(Keys(), (std::vector<std::u16string>{u"zeta", u"alpha", u"mid",
                                                   std::u16string(u"a\0b", 3), u"a"}));
    EXPECT_EQ(TextAt(1), u"new");
    EXPECT_EQ(TextAt(3), u"4");
    EXPECT_EQ(TextAt(4), u"5");
}

TEST_F(MapTest, SetCopiesTextsAndTakesItsOwnReferences) {
    VARIANT key = Text(u"k");
    VARIANT value = Text(u"original");
    ASSERT_EQ(map_->Set(key, value), S_OK);
    // The caller's VARIANTs stay the caller's: changed and freed, the map keeps its copy.
    value.bstrVal[0] = u'X';
    VariantClear(&key);
    VariantClear(&value);
    EXPECT_EQ(TextAt(0), u"original");

    auto held = Create<IVariantMap>(*manager_.Get(), kClassVariantMap);
    EXPECT_EQ(References(*held.Get()), 1u);
    EXPECT_EQ(SetEntry(*map_.Get(), u"object", Dispatch(held.Get())), S_OK);
    EXPECT_EQ(References(*held.Get()), 2u);
    // Replacing the value drops the map's reference.
    EXPECT_EQ(SetEntry(*map_.Get(), u"object", Int(5)), S_OK);
    EXPECT_EQ(References(*held.Get()), 1u);
    EXPECT_EQ(SetEntry(*map_.Get(), u"object", Dispatch(held.Get())), S_OK);
    map_.Reset();  // the map's last reference: it releases what it holds
    EXPECT_EQ(References(*held.Get()), 1u);
}

TEST_F(MapTest, SetResolvesByReferenceValues) {
    std::int32_t number = 41;
    VARIANT byReference;
    VariantInit(&byReference);
    byReference.vt = VT_INT | VT_BYREF;
    byReference.pintVal = &number;
    VARIANT key = Text(u"n");
    ASSERT_EQ(map_->Set(key, byReference), S_OK);
    VariantClear(&key);
    number = 99;

    VARIANT value;
    VariantInit(&value);
    ASSERT_EQ(map_->ValueAt(0, &value), S_OK);
    EXPECT_EQ(value.vt, VT_INT);
    EXPECT_EQ(value.intVal, 41);
}

TEST_F(MapTest, RefusesKeysThatAreNotText) {
    VARIANT key = Int(1);
    VARIANT value = Text(u"v");
    EXPECT_EQ(map_->Set(key, value), DISP_E_TYPEMISMATCH);
    VARIANT out = Text(u"old");
    EXPECT_EQ(map_->Get(key, &out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(out.vt, VT_EMPTY);
    VariantClear(&value);
    LONG count = -1;
    EXPECT_EQ(map_->Count(&count), S_OK);
    EXPECT_EQ(count, 0);
}

TEST_F(MapTest, GetOfAMissingKeyFailsAndLeavesTheOutEmpty) {
    EXPECT_EQ(SetEntry(*map_.Get(), u"present", Text(u"v")), S_OK);
    for (const std::u16string_view missing :
         {std::u16string_view(u"absent"), std::u16string_view(u"Present"),
          std::u16string_view(u"present\0", 8), std::u16string_view(u"")}) {
        VARIANT key = Text(missing);
        VARIANT out = Text(u"earlier value");
        EXPECT_EQ(map_->Get(key, &out), kelo::kKeyNotFound);
        EXPECT_NE(kelo::kKeyNotFound, 0);
        EXPECT_EQ(out.vt, VT_EMPTY);
        VariantClear(&key);
    }
}

TEST_F(MapTest, BadIndexesAndNullOutsAreRefused) {
    EXPECT_EQ(SetEntry(*map_.Get(), u"k", Text(u"v")), S_OK);
    for (const LONG index : {-1, 1, 1000}) {
        VARIANT out = Text(u"old");
        EXPECT_EQ(map_->KeyAt(index, &out), DISP_E_BADINDEX);
        EXPECT_EQ(out.vt, VT_EMPTY);
        out = Text(u"old");
        EXPECT_EQ(map_->ValueAt(index, &out), DISP_E_BADINDEX);
        EXPECT_EQ(out.vt, VT_EMPTY);
    }
    VARIANT key = Text(u"k");
    EXPECT_EQ(map_->Get(key, nullptr), E_POINTER);
    VariantClear(&key);
    EXPECT_EQ(map_->KeyAt(0, nullptr), E_POINTER);
    EXPECT_EQ(map_->ValueAt(0, nullptr), E_POINTER);
    EXPECT_EQ(map_->Count(nullptr), E_POINTER);
}

TEST_F(MapTest, OutVariantsThatHoldAValueAreFreedFirst) {
    auto tracked = Create<IVariantMap>(*manager_.Get(), kClassVariantMap);
    EXPECT_EQ(SetEntry(*map_.Get(), u"k", Text(u"value")), S_OK);

    using Call = HRESULT (*)(IVariantMap&, VARIANT&);
    const Call calls[] = {
        [](IVariantMap& map, VARIANT& out) { return map.KeyAt(0, &out); },
        [](IVariantMap& map, VARIANT& out) { return map.ValueAt(0, &out); },
        [](IVariantMap& map, VARIANT& out) {
            VARIANT key = Text(u"k");
            const HRESULT hr = map.Get(key, &out);
            VariantClear(&key);
            return hr;
        },
    };
    for (const Call call : calls) {
        // An earlier object reference: released by the call. An earlier BSTR:
        // freed by the call (the leak checker would see it otherwise).
        VARIANT out = Dispatch(tracked.Get());
        EXPECT_EQ(References(*tracked.Get()), 2u);
        EXPECT_EQ(call(*map_.Get(), out), S_OK);
        EXPECT_EQ(References(*tracked.Get()), 1u);
        EXPECT_EQ(out.vt, VT_BSTR);
        EXPECT_EQ(call(*map_.Get(), out), S_OK);
        EXPECT_EQ(out.vt, VT_BSTR);
        VariantClear(&out);
    }
}

TEST_F(MapTest, AnOutHoldingTheMapItselfIsSafe) {
    EXPECT_EQ(SetEntry(*map_.Get(), u"k", Text(u"value")), S_OK);
    // The only reference to the map is in the out VARIANT of its own Get.
    VARIANT out = Dispatch(map_.Get());
    IVariantMap* map = map_.Detach();
    map->Release();
    VARIANT key = Text(u"k");
    EXPECT_EQ(map->Get(key, &out), S_OK);
    VariantClear(&key);
    EXPECT_EQ(out.vt, VT_BSTR);
    EXPECT_EQ(BstrView(out.bstrVal), u"value");
    VariantClear(&out);
}

TEST_F(ObjectsTest, FilterCopiesTheInstantsOfItsDateTimeObjects) {
    ManagerHolder manager = Manager();
    auto filter = Create<IDateTimeFilter>(*manager.Get(), kClassDateTimeFilter);
    auto time = Create<IKELODateTime>(*manager.Get(), kClassDateTime);

    // Not loaded yet, or null: refused.
    EXPECT_EQ(filter->SetStart(time.Get()), E_INVALIDARG);
    EXPECT_EQ(filter->SetEnd(nullptr), E_POINTER);

    const SYSTEMTIME valid{2026, 3, 6, 7, 16, 5, 9, 250};
    EXPECT_EQ(NSVumoUtil::ConvertFromSystemTime(valid, *time.Get()), 0);
    EXPECT_EQ(filter->SetStart(time.Get()), S_OK);
    EXPECT_EQ(filter->SetEnd(time.Get()), S_OK);
    EXPECT_EQ(References(*time.Get()), 1u);
    const long withTime = NSVumoUtil::LiveObjectCount();
    time.Reset();
    EXPECT_EQ(NSVumoUtil::LiveObjectCount(), withTime - 1);
}

TEST_F(ObjectsTest, ConvertFromSystemTimeRefusesImpossibleTimes) {
    ManagerHolder manager = Manager();
    auto time = Create<IKELODateTime>(*manager.Get(), kClassDateTime);
    const SYSTEMTIME invalid[] = {
        {2026, 2, 0, 29, 0, 0, 0, 0},  // not a leap year
        {2026, 13, 0, 1, 0, 0, 0, 0},   {2026, 0, 0, 1, 0, 0, 0, 0},
        {2026, 1, 0, 0, 0, 0, 0, 0},    {2026, 1, 0, 1, 24, 0, 0, 0},
        {2026, 1, 0, 1, 0, 60, 0, 0},   {2026, 1, 0, 1, 0, 0, 60, 0},
        {2026, 1, 0, 1, 0, 0, 0, 1000}, {1600, 12, 0, 31, 23, 59, 59, 999},
    };
    for (const SYSTEMTIME& t : invalid) {
        EXPECT_EQ(NSVumoUtil::ConvertFromSystemTime(t, *time.Get()), E_INVALIDARG)
            << t.wYear << "-" << t.wMonth << "-" << t.wDay;
    }
    EXPECT_EQ(NSVumoUtil::ConvertFromSystemTime({2024, 2, 4, 29, 23, 59, 59, 999}, *time.Get()), 0);
    EXPECT_EQ(NSVumoUtil::ConvertFromSystemTime({1601, 1, 1, 1, 0, 0, 0, 0}, *time.Get()), 0);
}

}  // namespace
}  // namespace objectlib_test
