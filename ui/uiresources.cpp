#include "ui/uiresources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares its function in the current namespace, so it is
// called from the global one.
static void RegisterResources() { Q_INIT_RESOURCE(resources); }

namespace zelph {

void InitUiResources() { RegisterResources(); }

}  // namespace zelph
