#pragma once

// For tests only: the program never includes this.

#include "datastore/VumoUtil.h"

namespace NSVumoUtil {

// The number of objects of the library alive now (the manager included).
VUMOUTIL_API long LiveObjectCount();

}  // namespace NSVumoUtil
