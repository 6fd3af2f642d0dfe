#pragma once

// The helper library's entry points: an instance (the manager) and the
// loading of a UTC time into a date-time object. Plain virtual classes, not COM.

#include "datastore/KeloInterfaces.h"

#if defined(_WIN32)
// Callers link the entry points through VumoUtil's import library, whose
// thunks need no dllimport; so a static stand-in can take its place too.
#if defined(VUMOUTIL_BUILDING)
#define VUMOUTIL_API __declspec(dllexport)
#else
#define VUMOUTIL_API
#endif
#else
#define VUMOUTIL_API __attribute__((visibility("default")))
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
