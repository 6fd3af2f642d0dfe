#include "tests/fakes/FakeObjectLibrary.h"

#include <string>

namespace fake {

namespace {

const HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040154u);  // REGDB_E_CLASSNOTREG

struct Registry {
    int nextId = 0;
    std::map<int, std::u16string> live;  // Id, class name
};

Registry& Objects() {
    static Registry registry;
    return registry;
}

std::u16string Decimal(long long value) {
    const std::string digits = std::to_string(value);
    return {digits.begin(), digits.end()};
}

// A BSTR's whole text, as the fake compares keys.
std::u16string_view KeyText(const VARIANT& key) {
    return BstrView(key.bstrVal);
}

// Windows' VariantCopy takes its source as non-const; it does not change it.
VARIANT* Source(const VARIANT& source) {
    return const_cast<VARIANT*>(&source);
}

// Stores `source` into an out VARIANT as the contract asks: what it held is
// freed first.
HRESULT Store(VARIANT* out, const Value& source, HRESULT code) {
    if (FAILED(code)) {
        return code;
    }
    const HRESULT copied = VariantCopy(out, Source(source.Get()));
    return FAILED(copied) ? copied : code;
}

template <typename Key>
HRESULT ChosenCode(const std::map<Key, HRESULT>& codes, const Key& key) {
    const auto found = codes.find(key);
    return found == codes.end() ? S_OK : found->second;
}

class FakeDateTime final : public FakeCom<IKELODateTime> {
  public:
    FakeDateTime() : FakeCom(kClassDateTime) {}
    std::optional<SYSTEMTIME> time;
};

class FakeFilter final : public FakeCom<IDateTimeFilter> {
  public:
    FakeFilter() : FakeCom(kClassDateTimeFilter) {}

    HRESULT SetStart(IKELODateTime* start) override { return Record(u"SetStart", start); }
    HRESULT SetEnd(IKELODateTime* end) override { return Record(u"SetEnd", end); }

  private:
    HRESULT Record(std::u16string operation, IKELODateTime* dateTime) {
        FilterCall call{std::move(operation), Id(), 0, std::nullopt};
        if (auto* fakeTime = dynamic_cast<FakeDateTime*>(dateTime)) {
            call.dateTimeId = fakeTime->Id();
            call.time = fakeTime->time;
        }
        Library().filterCalls.push_back(std::move(call));
        return S_OK;
    }
};

class FakeDatastore final : public FakeCom<IDatastore> {
  public:
    FakeDatastore() : FakeCom(kClassDatastore) {}

    HRESULT Execute(VARIANT query, VARIANT* result) override {
        if (result == nullptr) {
            return E_POINTER;
        }
        LibraryState& library = Library();
        if (query.vt != VT_DISPATCH || IdOf(query.pdispVal) == 0) {
            library.queries.push_back({{u"<not a map>", Render(query)}});
            return E_INVALIDARG;
        }
        IVariantMap* map = nullptr;
        query.pdispVal->QueryInterface(IID_IVariantMap, reinterpret_cast<void**>(&map));
        std::vector<RenderedEntry> rendered;
        try {
            rendered = Render(map);
        } catch (...) {
            // Out of memory: the reference taken above must not leak.
            if (map != nullptr) {
                map->Release();
            }
            throw;
        }
        if (map != nullptr) {
            map->Release();
        }
        library.queries.push_back(std::move(rendered));
        Answer answer;
        if (library.answers.empty()) {
            answer = library.defaultAnswer;
        } else {
            answer = std::move(library.answers.front());
            library.answers.pop_front();
        }
        return Store(result, answer.result, answer.code);
    }
};

class FakeManager final : public platform::RefCounted<NSVumoUtil::IHLPKELOManager>,
                          public FakeObject {
  public:
    FakeManager() : FakeObject(u"Manager") {}

    ULONG References() const override { return ReferenceCount(); }

    HRESULT CreateObject(const OLECHAR* className, IUnknown** object) override {
        if (className == nullptr || object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        std::u16string name;
        for (const OLECHAR* unit = className; *unit != 0; ++unit) {
            name.push_back(static_cast<char16_t>(*unit));
        }
        LibraryState& library = Library();
        const int occurrence = library.creationAttempts[name]++;
        HRESULT queryCode = S_OK;
        for (const CreationRule& rule : library.creationRules) {
            if (rule.className != name || (rule.occurrence && *rule.occurrence != occurrence)) {
                continue;
            }
            if (FAILED(rule.code)) {
                return rule.code;
            }
            if (rule.yieldsNull) {
                return S_OK;
            }
            queryCode = rule.queryInterfaceCode;
        }

        FakeObject* made = nullptr;
        IUnknown* unknown = nullptr;
        if (name == kClassVariantMap) {
            auto* map = new FakeMap();
            made = map;
            unknown = static_cast<IVariantMap*>(map);
        } else if (name == kClassDatastore) {
            auto* datastore = new FakeDatastore();
            made = datastore;
            unknown = static_cast<IDatastore*>(datastore);
        } else if (name == kClassDateTime) {
            auto* dateTime = new FakeDateTime();
            made = dateTime;
            unknown = static_cast<IKELODateTime*>(dateTime);
        } else if (name == kClassDateTimeFilter) {
            auto* filter = new FakeFilter();
            made = filter;
            unknown = static_cast<IDateTimeFilter*>(filter);
        } else {
            return kClassNotRegistered;
        }
        made->queryInterfaceCode = queryCode;
        try {
            library.created.emplace_back(name, made->Id());
        } catch (...) {
            // Out of memory: the new object must not leak.
            unknown->Release();
            throw;
        }
        *object = unknown;
        return S_OK;
    }
};

// An instance that is no manager.
class FakeInstance final : public platform::RefCounted<NSVumoUtil::IHLPKELOInstance>,
                           public FakeObject {
  public:
    FakeInstance() : FakeObject(u"Instance") {}
    ULONG References() const override { return ReferenceCount(); }
};

}  // namespace

// --- Values ---

Value::Value() {
    VariantInit(&variant_);
}

Value::Value(const VARIANT& owned) : variant_(owned) {}

Value::Value(const Value& other) : target_(other.target_) {
    VariantInit(&variant_);
    if ((other.variant_.vt & VT_BYREF) != 0) {
        variant_ = other.variant_;
    } else {
        VariantCopy(&variant_, Source(other.variant_));
    }
}

Value& Value::operator=(const Value& other) {
    if (this != &other) {
        Value copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Value::Value(Value&& other) noexcept : variant_(other.variant_), target_(std::move(other.target_)) {
    VariantInit(&other.variant_);
}

Value& Value::operator=(Value&& other) noexcept {
    if (this != &other) {
        VariantClear(&variant_);
        variant_ = other.variant_;
        VariantInit(&other.variant_);
        target_ = std::move(other.target_);
    }
    return *this;
}

Value::~Value() {
    VariantClear(&variant_);
}

Value Value::RefTo(Value target) {
    Value reference;
    reference.target_ = std::make_shared<Value>(std::move(target));
    reference.variant_.vt = static_cast<VARTYPE>(VT_BYREF | reference.target_->variant_.vt);
    reference.variant_.byref = &reference.target_->variant_.llVal;
    return reference;
}

Value Value::RefToVariant(Value target) {
    Value reference;
    reference.target_ = std::make_shared<Value>(std::move(target));
    reference.variant_.vt = static_cast<VARTYPE>(VT_BYREF | VT_VARIANT);
    reference.variant_.pvarVal = &reference.target_->variant_;
    return reference;
}

Value Empty() {
    return Value();
}

Value Text(std::u16string_view text) {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_BSTR;
    variant.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                        static_cast<UINT>(text.size()));
    return Value(variant);
}

Value NullText() {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_BSTR;
    variant.bstrVal = nullptr;
    return Value(variant);
}

Value Date(DATE date) {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_DATE;
    variant.date = date;
    return Value(variant);
}

Value Bool(VARIANT_BOOL value) {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_BOOL;
    variant.boolVal = value;
    return Value(variant);
}

Value Int(INT value) {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_INT;
    variant.intVal = value;
    return Value(variant);
}

Value I4(LONG value) {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_I4;
    variant.lVal = value;
    return Value(variant);
}

Value NullDispatch() {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_DISPATCH;
    variant.pdispVal = nullptr;
    return Value(variant);
}

Value Map(std::vector<Entry> entries) {
    auto* map = new FakeMap();
    map->entries = std::move(entries);
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_DISPATCH;
    variant.pdispVal = map;
    return Value(variant);
}

Value List(std::vector<Value> items) {
    auto* list = new FakeList();
    list->items = std::move(items);
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_DISPATCH;
    variant.pdispVal = list;
    return Value(variant);
}

Value Visit(std::u16string_view url, DATE date, VARIANT_BOOL allowed, std::vector<INT> categories) {
    std::vector<Value> numbers;
    for (const INT number : categories) {
        numbers.push_back(Int(number));
    }
    return Map({{Text(u"URL"), Text(url)},
                {Text(u"DATE"), Date(date)},
                {Text(u"ALLOWED"), Bool(allowed)},
                {Text(u"CATEGORIES"), List(std::move(numbers))}});
}

Value UserMap(std::vector<Value> visits) {
    return Map({{Text(u"All"), List(std::move(visits))}});
}

Value ResultMap(std::vector<Entry> users) {
    return Map(std::move(users));
}

FakeMap* AsMap(const Value& value) {
    const VARIANT& variant = value.Get();
    return variant.vt == VT_DISPATCH ? dynamic_cast<FakeMap*>(variant.pdispVal) : nullptr;
}

FakeList* AsList(const Value& value) {
    const VARIANT& variant = value.Get();
    return variant.vt == VT_DISPATCH ? dynamic_cast<FakeList*>(variant.pdispVal) : nullptr;
}

// --- Objects ---

FakeObject::FakeObject(std::u16string className) : id_(++Objects().nextId) {
    Objects().live.emplace(id_, std::move(className));
}

FakeObject::~FakeObject() {
    Objects().live.erase(id_);
}

HRESULT FakeObject::Query(REFIID iid, REFIID own, IUnknown* self, void** object) const {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (!(iid == IID_IUnknown || iid == IID_IDispatch || iid == own)) {
        return E_NOINTERFACE;
    }
    if (FAILED(queryInterfaceCode)) {
        return queryInterfaceCode;
    }
    if (queryYieldsNull) {
        return S_OK;
    }
    self->AddRef();
    *object = self;
    return S_OK;
}

FakeMap::FakeMap() : FakeCom(kClassVariantMap) {}

HRESULT FakeMap::Count(LONG* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    const HRESULT code = countCode.value_or(S_OK);
    if (SUCCEEDED(code)) {
        *count = countValue.value_or(static_cast<LONG>(entries.size()));
    }
    return code;
}

HRESULT FakeMap::Set(VARIANT key, VARIANT value) {
    // Copies of both: the caller keeps and clears its own.
    Value keyCopy;
    Value valueCopy;
    VARIANT slot;
    VariantInit(&slot);
    VariantCopy(&slot, &key);
    keyCopy = Value(slot);
    VariantInit(&slot);
    VariantCopy(&slot, &value);
    valueCopy = Value(slot);
    entries.push_back({std::move(keyCopy), std::move(valueCopy)});
    return S_OK;
}

HRESULT FakeMap::KeyAt(LONG index, VARIANT* key) {
    if (key == nullptr) {
        return E_POINTER;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) {
        return FAILED(ChosenCode(keyAtCodes, index)) ? ChosenCode(keyAtCodes, index)
                                                     : DISP_E_BADINDEX;
    }
    return Store(key, entries[static_cast<std::size_t>(index)].key, ChosenCode(keyAtCodes, index));
}

HRESULT FakeMap::ValueAt(LONG index, VARIANT* value) {
    if (value == nullptr) {
        return E_POINTER;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) {
        return FAILED(ChosenCode(valueAtCodes, index)) ? ChosenCode(valueAtCodes, index)
                                                       : DISP_E_BADINDEX;
    }
    return Store(value, entries[static_cast<std::size_t>(index)].value,
                 ChosenCode(valueAtCodes, index));
}

HRESULT FakeMap::Get(VARIANT key, VARIANT* value) {
    if (value == nullptr) {
        return E_POINTER;
    }
    if (key.vt != VT_BSTR) {
        asked.push_back(Render(key));
        return E_INVALIDARG;
    }
    const std::u16string text(KeyText(key));
    asked.push_back(text);
    const HRESULT code = ChosenCode(getCodes, text);
    if (FAILED(code)) {
        return code;
    }
    for (const Entry& entry : entries) {
        if (entry.key.Get().vt == VT_BSTR && KeyText(entry.key.Get()) == text) {
            return Store(value, entry.value, code);
        }
    }
    return E_INVALIDARG;
}

FakeList::FakeList() : FakeCom(u"List") {}

HRESULT FakeList::Count(LONG* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    const HRESULT code = countCode.value_or(S_OK);
    if (SUCCEEDED(code)) {
        *count = countValue.value_or(static_cast<LONG>(items.size()));
    }
    return code;
}

HRESULT FakeList::ItemAt(LONG index, VARIANT* item) {
    if (item == nullptr) {
        return E_POINTER;
    }
    ++itemRequests;
    const HRESULT code = ChosenCode(itemAtCodes, index);
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
        return FAILED(code) ? code : DISP_E_BADINDEX;
    }
    return Store(item, items[static_cast<std::size_t>(index)], code);
}

// --- Records ---

std::u16string Render(const VARIANT& value) {
    switch (value.vt) {
        case VT_EMPTY:
            return u"<empty>";
        case VT_BSTR:
            return value.bstrVal == nullptr ? u"<null>" : std::u16string(BstrView(value.bstrVal));
        case VT_DISPATCH:
            return u"<object " + Decimal(IdOf(value.pdispVal)) + u">";
        default:
            return u"<vt " + Decimal(value.vt) + u">";
    }
}

std::vector<RenderedEntry> Render(IVariantMap* map) {
    std::vector<RenderedEntry> rendered;
    if (auto* fakeMap = dynamic_cast<FakeMap*>(map)) {
        for (const Entry& entry : fakeMap->entries) {
            rendered.push_back({Render(entry.key.Get()), Render(entry.value.Get())});
        }
    }
    return rendered;
}

int IdOf(IUnknown* object) {
    const auto* fakeObject = dynamic_cast<const FakeObject*>(object);
    return fakeObject == nullptr ? 0 : fakeObject->Id();
}

LibraryState& Library() {
    static LibraryState state;
    return state;
}

void ResetLibrary() {
    Library() = LibraryState{};
}

int LiveObjects() {
    return static_cast<int>(Objects().live.size());
}

std::string DescribeLiveObjects() {
    std::string text;
    for (const auto& [id, className] : Objects().live) {
        // Class names are ASCII.
        // Appended piece by piece: GCC 12 misreports -Wrestrict on a chain of operator+.
        text += '#';
        text += std::to_string(id);
        text += ' ';
        text.append(className.begin(), className.end());
        text += '\n';
    }
    return text;
}

}  // namespace fake

namespace NSVumoUtil {

long CreateHLPObject(unsigned long kind, unsigned long version, IHLPKELOInstance** instance) {
    if (instance == nullptr) {
        return E_POINTER;
    }
    *instance = nullptr;
    fake::LibraryState& library = fake::Library();
    ++library.helperCalls;
    if (library.helperCode < 0) {
        return library.helperCode;
    }
    if (kind != 1 || version != 1) {
        return E_INVALIDARG;
    }
    if (library.instanceIsNoManager) {
        *instance = new fake::FakeInstance();
    } else {
        *instance = new fake::FakeManager();
    }
    return 0;
}

long ConvertFromSystemTime(const SYSTEMTIME& utc, IKELODateTime& dateTime) {
    auto* fakeTime = dynamic_cast<fake::FakeDateTime*>(&dateTime);
    if (fakeTime == nullptr) {
        return E_INVALIDARG;
    }
    fakeTime->time = utc;
    fake::Library().conversions.emplace_back(fakeTime->Id(), utc);
    return 0;
}

}  // namespace NSVumoUtil
