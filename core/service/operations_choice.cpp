#include "core/service/operations_choice.h"

namespace velmora {

OperationsChoice chooseOperations(const std::optional<ClientDecision>& service, bool administrator) {
    if (service) {
        return service->served ? OperationsChoice{OperationsWay::service, {}}
                               : OperationsChoice{OperationsWay::refused, service->refusal};
    }
    return administrator ? OperationsChoice{OperationsWay::ownProcess, {}}
                         : OperationsChoice{OperationsWay::offerElevation, kServiceMissing};
}

}  // namespace velmora
