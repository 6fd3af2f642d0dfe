#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "datastore/VumoUtil.h"
#include "objectlib/DatastoreReader.h"
#include "platform/RefCounted.h"

namespace kelo {

// The helper library's manager: makes the Kelo objects by class name. Its
// datastore objects share one read-only connection, opened when the first is
// made (and again after a failed open).
class CManager final : public platform::RefCounted<NSVumoUtil::IHLPKELOManager> {
  public:
    explicit CManager(std::string datastorePathUtf8);
    CManager(const CManager&) = delete;
    CManager& operator=(const CManager&) = delete;

    // kClassNotRegistered for an unknown name; for "Kelo.Datastore" the
    // datastore's open failure (see DatastoreReader::Open).
    HRESULT CreateObject(const OLECHAR* className, IUnknown** object) override;

  private:
    ~CManager() override;
    HRESULT Reader(std::shared_ptr<DatastoreReader>& reader);

    std::string datastorePath_;
    std::mutex mutex_;
    std::shared_ptr<DatastoreReader> reader_;
};

}  // namespace kelo
