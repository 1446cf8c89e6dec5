#pragma once
// Marks the entry points a codec library offers; everything else in the
// libraries is built hidden.

#define ZELPH_EXPORT extern "C" __attribute__((visibility("default")))
