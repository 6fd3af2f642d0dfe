#include "datastore/CreateManager.h"

long CreateManager(ManagerHolder& manager) {
    OwningHolder<NSVumoUtil::IHLPKELOInstance> instance;
    const long status = NSVumoUtil::CreateHLPObject(1, 1, instance.Put());
    if (status < 0) {
        return status;
    }
    if (!instance) {
        // Success without an instance is no success.
        return kInstanceIsNoManager;
    }
    auto* found = dynamic_cast<NSVumoUtil::IHLPKELOManager*>(instance.Get());
    if (found == nullptr) {
        return kInstanceIsNoManager;
    }
    manager.Share(found);
    return 0;
}
