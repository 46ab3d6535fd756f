#include "platform/backend.h"

namespace platform {

// Interim choice until the real backends land: always the bench.
BackendResult ChooseHardwareBackend(const BackendRequest& request) {
    BackendResult result;
    result.kind = BackendResult::Kind::Bench;
    result.reason = "no parallel port backend is available in this build";
    result.failed = request.force != BackendRequest::Force::Auto;
    return result;
}

}  // namespace platform
