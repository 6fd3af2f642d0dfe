#pragma once

#include "platform/OleAuto.h"

// The stand-in's own failure codes. Each names one cause, so a failed run can
// be explained from its code alone.
namespace kelo {

constexpr HRESULT Code(unsigned long value) {
    return static_cast<HRESULT>(value);
}

// No datastore file: the product counts as not installed (ERROR_FILE_NOT_FOUND).
inline constexpr HRESULT kNoDatastore = Code(0x80070002);
// CreateObject of a class name it does not know (REGDB_E_CLASSNOTREG).
inline constexpr HRESULT kClassNotRegistered = Code(0x80040154);
// A map's Get of a key it does not hold (DISP_E_UNKNOWNNAME).
inline constexpr HRESULT kKeyNotFound = Code(0x80020006);

// The datastore file is not a SQLite database, or is damaged.
inline constexpr HRESULT kNotADatastore = Code(0x80040201);
// A database, but not a datastore of the schema this library reads.
inline constexpr HRESULT kUnknownSchema = Code(0x80040202);
// A writer held the datastore locked for longer than the library waits.
inline constexpr HRESULT kDatastoreBusy = Code(0x80040203);
// The file could not be opened or read (permissions, I/O).
inline constexpr HRESULT kDatastoreUnreadable = Code(0x80040204);

// The query is not a map.
inline constexpr HRESULT kQueryNotAMap = Code(0x80040210);
// A key the query language does not have (or one given twice, or not text).
inline constexpr HRESULT kQueryUnknownKey = Code(0x80040211);
// A required key is missing.
inline constexpr HRESULT kQueryMissingKey = Code(0x80040212);
// A known key with a value of the wrong type or form.
inline constexpr HRESULT kQueryBadValue = Code(0x80040213);

}  // namespace kelo
