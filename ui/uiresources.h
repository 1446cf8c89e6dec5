#pragma once
// The windows' images live in a static library, so each program registers
// them once before its first window.

namespace zelph {

void InitUiResources();

}  // namespace zelph
