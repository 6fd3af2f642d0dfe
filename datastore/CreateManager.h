#pragma once

#include "datastore/OwningHolder.h"
#include "datastore/VumoUtil.h"

using ManagerHolder = OwningHolder<NSVumoUtil::IHLPKELOManager>;
using VariantMapHolder = OwningHolder<IVariantMap>;

// Code returned when the helper library's instance is not a manager.
inline constexpr long kInstanceIsNoManager = E_NOINTERFACE;

// Obtains the object library's manager into `manager` (empty on entry): 0 on
// success, the helper library's negative status unchanged, or
// kInstanceIsNoManager.
long CreateManager(ManagerHolder& manager);
