#pragma once

#include "objectlib/Snapshot.h"
#include "platform/OleAuto.h"

namespace kelo {

// The answer to a query as the result tree: a VT_DISPATCH map with one entry
// per user (key: the SID text) whose value is a map holding, under "All", the
// list of that user's visits. Lists and visit maps make their values from the
// snapshot when they are asked for, each a fresh copy the caller owns:
// visit maps hold "URL" (VT_BSTR), "DATE" (VT_DATE, UTC), "ALLOWED" (VT_BOOL)
// and "CATEGORIES" (VT_DISPATCH, a list of VT_INT), in that order.
HRESULT MakeResultTree(const SharedSnapshot& snapshot, VARIANT& result);

}  // namespace kelo
