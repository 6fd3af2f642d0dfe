#pragma once

// The object library's COM interfaces and their identifiers. Every method
// returns an HRESULT; inputs are the caller's, out VARIANTs are initialised by
// the caller and may still hold a value, which the callee frees before storing.

#include "platform/OleAuto.h"

// The identifier of each interface, beside it: Iid<T>::value. The helpers
// that ask an object for an interface take it from the holder's type, so no
// caller can ask for one identifier and hold another type.
template <typename Interface>
struct Iid;

struct IKELODateTime : IDispatch {
  protected:
    ~IKELODateTime() = default;
};
// {7E3A1C52-0B6D-4F2E-9A41-3C5D8E21F001} and following.
inline constexpr IID IID_IKELODateTime = {
    0x7E3A1C52, 0x0B6D, 0x4F2E, {0x9A, 0x41, 0x3C, 0x5D, 0x8E, 0x21, 0xF0, 0x01}};
template <>
struct Iid<IKELODateTime> {
    static constexpr const IID& value = IID_IKELODateTime;
};

struct IDateTimeFilter : IDispatch {
    virtual HRESULT SetStart(IKELODateTime* start) = 0;
    virtual HRESULT SetEnd(IKELODateTime* end) = 0;

  protected:
    ~IDateTimeFilter() = default;
};
inline constexpr IID IID_IDateTimeFilter = {
    0x7E3A1C52, 0x0B6D, 0x4F2E, {0x9A, 0x41, 0x3C, 0x5D, 0x8E, 0x21, 0xF0, 0x02}};
template <>
struct Iid<IDateTimeFilter> {
    static constexpr const IID& value = IID_IDateTimeFilter;
};

struct IVariantMap : IDispatch {
    virtual HRESULT Count(LONG* count) = 0;
    virtual HRESULT Set(VARIANT key, VARIANT value) = 0;
    virtual HRESULT KeyAt(LONG index, VARIANT* key) = 0;
    virtual HRESULT ValueAt(LONG index, VARIANT* value) = 0;
    virtual HRESULT Get(VARIANT key, VARIANT* value) = 0;

  protected:
    ~IVariantMap() = default;
};
inline constexpr IID IID_IVariantMap = {
    0x7E3A1C52, 0x0B6D, 0x4F2E, {0x9A, 0x41, 0x3C, 0x5D, 0x8E, 0x21, 0xF0, 0x03}};
template <>
struct Iid<IVariantMap> {
    static constexpr const IID& value = IID_IVariantMap;
};

struct IVariantList : IDispatch {
    virtual HRESULT Count(LONG* count) = 0;
    virtual HRESULT ItemAt(LONG index, VARIANT* item) = 0;

  protected:
    ~IVariantList() = default;
};
inline constexpr IID IID_IVariantList = {
    0x7E3A1C52, 0x0B6D, 0x4F2E, {0x9A, 0x41, 0x3C, 0x5D, 0x8E, 0x21, 0xF0, 0x04}};
template <>
struct Iid<IVariantList> {
    static constexpr const IID& value = IID_IVariantList;
};

struct IDatastore : IDispatch {
    virtual HRESULT Execute(VARIANT query, VARIANT* result) = 0;

  protected:
    ~IDatastore() = default;
};
inline constexpr IID IID_IDatastore = {
    0x7E3A1C52, 0x0B6D, 0x4F2E, {0x9A, 0x41, 0x3C, 0x5D, 0x8E, 0x21, 0xF0, 0x05}};
template <>
struct Iid<IDatastore> {
    static constexpr const IID& value = IID_IDatastore;
};

// The class names the manager's CreateObject knows.
inline constexpr char16_t kClassDatastore[] = u"Kelo.Datastore";
inline constexpr char16_t kClassVariantMap[] = u"Kelo.VariantMap";
inline constexpr char16_t kClassDateTime[] = u"Kelo.DateTimeObject";
inline constexpr char16_t kClassDateTimeFilter[] = u"Kelo.DateTimeFilterObject";
