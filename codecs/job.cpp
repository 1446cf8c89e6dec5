#include "codecs/job.h"

namespace zelph {

std::string_view EngineName(EngineId id) { return id ? id->name : ""; }

}  // namespace zelph
