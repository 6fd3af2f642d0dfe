#include "app/CDataStoreQuery.h"
#include "datastore/ObjectAccess.h"
#include "platform/Console.h"
#include "platform/UniqueVariant.h"

HRESULT CDataStoreQuery::ExecuteQuery(NSVumoUtil::IHLPKELOManager& manager,
                                      const VariantMapHolder& query) {
    // Released last, after the result.
    OwningHolder<IDatastore> datastore;
    const HRESULT created = CreateAs(manager, kClassDatastore, datastore);
    if (FAILED(created)) {
        platform::ConsoleWriteWide(u"Datastore object creation failure\n");
        return created;
    }
    if (!query) {
        return S_OK;
    }

    const platform::UniqueVariant queryArgument = platform::UniqueVariant::Dispatch(query.Get());
    platform::UniqueVariant result;
    const HRESULT executed = datastore->Execute(queryArgument.Get(), result.Out());
    if (FAILED(executed)) {
        return executed;
    }

    VariantMapHolder resultMap;
    const HRESULT taken = DispatchAs(result.Get(), resultMap);
    if (FAILED(taken)) {
        return taken;
    }
    CollectResults(*resultMap.Get());
    return S_OK;
}
