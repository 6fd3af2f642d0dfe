#pragma once

#include <memory>

#include "objectlib/ComObject.h"
#include "objectlib/DatastoreReader.h"

namespace kelo {

// "Kelo.Datastore": answers query maps from the datastore file.
class CDatastore final : public ComObject<IDatastore> {
  public:
    explicit CDatastore(std::shared_ptr<DatastoreReader> reader) : reader_(std::move(reader)) {}

    // `query`: see ParseQuery; `result`: see MakeResultTree. On failure the
    // result holds VT_EMPTY.
    HRESULT Execute(VARIANT query, VARIANT* result) override;

  private:
    ~CDatastore() override = default;

    std::shared_ptr<DatastoreReader> reader_;
};

}  // namespace kelo
