#pragma once

// A fake of the object library for the core's unit tests, linked in place of
// VumoUtil. A test builds the datastore's answer as a tree of Values, chooses
// the calls that fail, and reads back what the program sent. Every fake object
// is counted, so a test can end by checking that none is alive.

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "datastore/VumoUtil.h"
#include "platform/RefCounted.h"

namespace fake {

// An owned VARIANT of a test's tree: copied with VariantCopy, cleared when it
// goes. A by-reference value owns what it refers to, so the map or list that
// holds it keeps the referenced value alive.
class Value {
  public:
    Value();
    // Takes over a VARIANT the caller owns.
    explicit Value(const VARIANT& owned);
    Value(const Value& other);
    Value& operator=(const Value& other);
    Value(Value&& other) noexcept;
    Value& operator=(Value&& other) noexcept;
    ~Value();

    const VARIANT& Get() const { return variant_; }

    // VT_BYREF | the target's type, pointing at the target's value (for a
    // target that is no by-reference value itself).
    static Value RefTo(Value target);
    // VT_BYREF | VT_VARIANT, pointing at the target VARIANT.
    static Value RefToVariant(Value target);

  private:
    VARIANT variant_;
    std::shared_ptr<Value> target_;
};

Value Empty();
Value Text(std::u16string_view text);  // every unit kept, NULs included
Value NullText();                      // VT_BSTR holding a null BSTR
Value Date(DATE date);
Value Bool(VARIANT_BOOL value);
Value Int(INT value);  // VT_INT
Value I4(LONG value);  // VT_I4
Value NullDispatch();  // VT_DISPATCH holding no object

struct Entry {
    Value key;
    Value value;
};

// New maps and lists, each held by the Value returned.
Value Map(std::vector<Entry> entries);
Value List(std::vector<Value> items);

// A visit map with its four keys well typed, categories as VT_INT items.
Value Visit(std::u16string_view url, DATE date, VARIANT_BOOL allowed,
            std::vector<INT> categories = {});
// A per-user map: "All" holding the list of `visits`.
Value UserMap(std::vector<Value> visits);
// A result map: one entry per user, key then per-user map.
Value ResultMap(std::vector<Entry> users);

// Base of every fake object: its number, its reference count and the chosen
// failure of QueryInterface.
class FakeObject {
  public:
    FakeObject(const FakeObject&) = delete;
    FakeObject& operator=(const FakeObject&) = delete;
    virtual ~FakeObject();

    int Id() const { return id_; }
    virtual ULONG References() const = 0;

    // A negative code makes QueryInterface fail with it; `queryYieldsNull`
    // makes it succeed without an object.
    HRESULT queryInterfaceCode = S_OK;
    bool queryYieldsNull = false;

  protected:
    explicit FakeObject(std::u16string className);
    // QueryInterface for an object that implements `own`.
    HRESULT Query(REFIID iid, REFIID own, IUnknown* self, void** object) const;

  private:
    int id_;
};

// IUnknown and IDispatch for a fake implementing `Interface`; freed on its
// last Release.
template <typename Interface>
class FakeCom : public platform::RefCountedNoDispatch<Interface>, public FakeObject {
  public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        return Query(iid, Iid<Interface>::value, static_cast<Interface*>(this), object);
    }
    ULONG References() const override { return this->ReferenceCount(); }

  protected:
    explicit FakeCom(std::u16string className) : FakeObject(std::move(className)) {}
};

// The codes chosen for a map's or list's calls: a negative code stores
// nothing; a positive one still stores the value and is then returned.
class FakeMap final : public FakeCom<IVariantMap> {
  public:
    FakeMap();

    HRESULT Count(LONG* count) override;
    HRESULT Set(VARIANT key, VARIANT value) override;
    HRESULT KeyAt(LONG index, VARIANT* key) override;
    HRESULT ValueAt(LONG index, VARIANT* value) override;
    HRESULT Get(VARIANT key, VARIANT* value) override;

    std::vector<Entry> entries;         // Set appends, so every Set shows
    std::vector<std::u16string> asked;  // the keys given to Get, in order

    std::optional<HRESULT> countCode;
    std::optional<LONG> countValue;  // reported instead of the true count
    std::map<LONG, HRESULT> keyAtCodes;
    std::map<LONG, HRESULT> valueAtCodes;
    std::map<std::u16string, HRESULT> getCodes;
};

class FakeList final : public FakeCom<IVariantList> {
  public:
    FakeList();

    HRESULT Count(LONG* count) override;
    HRESULT ItemAt(LONG index, VARIANT* item) override;

    std::vector<Value> items;
    int itemRequests = 0;

    std::optional<HRESULT> countCode;
    std::optional<LONG> countValue;
    std::map<LONG, HRESULT> itemAtCodes;
};

// The fake a Value holds; null when it holds no fake map or list.
FakeMap* AsMap(const Value& value);
FakeList* AsList(const Value& value);

struct RenderedEntry {
    std::u16string key;
    std::u16string value;
    bool operator==(const RenderedEntry&) const = default;
};

// A VARIANT as text: a BSTR's text, "<null>" for a null BSTR, "<empty>",
// "<object N>" for an object (N its Id), "<vt N>" for anything else.
std::u16string Render(const VARIANT& value);
// The map's entries in order, rendered; empty when `map` is no fake map.
std::vector<RenderedEntry> Render(IVariantMap* map);
// The Id of a fake object, 0 for anything else.
int IdOf(IUnknown* object);

struct FilterCall {
    std::u16string operation;  // "SetEnd" or "SetStart"
    int filterId = 0;
    int dateTimeId = 0;              // 0 when no fake date-time was given
    std::optional<SYSTEMTIME> time;  // what was loaded into it
};

// Creation of `className` fails with `code` (negative), or succeeds without an
// object (`yieldsNull`), or gives an object whose QueryInterface fails with
// `queryInterfaceCode`; for every creation of the class or only the
// `occurrence`-th (from 0).
struct CreationRule {
    std::u16string className;
    std::optional<int> occurrence;
    HRESULT code = S_OK;
    bool yieldsNull = false;
    HRESULT queryInterfaceCode = S_OK;
};

struct Answer {
    HRESULT code = S_OK;
    Value result;
};

struct LibraryState {
    // CreateHLPObject: a negative code means no instance; `instanceIsNoManager`
    // hands out an instance that is not a manager.
    long helperCode = 0;
    bool instanceIsNoManager = false;
    int helperCalls = 0;

    std::vector<CreationRule> creationRules;
    std::map<std::u16string, int> creationAttempts;
    std::vector<std::pair<std::u16string, int>> created;  // class name, Id

    // Execute answers in turn; after the last, `defaultAnswer`.
    std::deque<Answer> answers;
    Answer defaultAnswer;
    std::vector<std::vector<RenderedEntry>> queries;  // every query executed

    std::vector<std::pair<int, SYSTEMTIME>> conversions;  // date-time Id, time
    std::vector<FilterCall> filterCalls;
};

LibraryState& Library();
// Forgets every setting and record; the values held by answers are released.
void ResetLibrary();

// Fake objects (and manager instances) alive now, and a description of them.
int LiveObjects();
std::string DescribeLiveObjects();

}  // namespace fake
