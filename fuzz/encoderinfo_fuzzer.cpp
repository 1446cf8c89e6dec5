// The encoder's info frame is read from the first frame of any MPEG file.
#include "formats/encoderinfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    zelph::ReadEncoderInfoFrame({data, size});
    return 0;
}
