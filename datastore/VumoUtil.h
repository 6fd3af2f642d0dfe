#pragma once

// The helper library's entry points: an instance (the manager) and the
// loading of a UTC time into a date-time object. Plain virtual classes, not COM.

#include "datastore/KeloInterfaces.h"
#include "platform/SharedLibrary.h"

// The stand-in and the fake object library define the entry points.
#if defined(VUMOUTIL_BUILDING)
#define VUMOUTIL_API PLATFORM_SHARED_EXPORT
#else
#define VUMOUTIL_API PLATFORM_SHARED_IMPORT
#endif

namespace NSVumoUtil {

class IHLPKELOInstance {
  public:
    virtual ULONG Release() = 0;
    virtual ULONG AddRef() = 0;

  protected:
    ~IHLPKELOInstance() = default;
};

class IHLPKELOManager : public IHLPKELOInstance {
  public:
    virtual HRESULT CreateObject(const OLECHAR* className, IUnknown** object) = 0;

  protected:
    ~IHLPKELOManager() = default;
};

// Negative when there is no instance (the product is not installed).
VUMOUTIL_API long CreateHLPObject(unsigned long kind, unsigned long version,
                                  IHLPKELOInstance** instance);

VUMOUTIL_API long ConvertFromSystemTime(const SYSTEMTIME& utc, IKELODateTime& dateTime);

}  // namespace NSVumoUtil
