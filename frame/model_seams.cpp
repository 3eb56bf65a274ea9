#include "frame/model_seams.h"

namespace kz {

// resetModelStore and releaseModelStorage belong to the model store (model/store.cpp).
// Printed listings with pages come with the reports.
void endOpenPage(ModelArea&) {}

}  // namespace kz
