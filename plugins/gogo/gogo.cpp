// GoGo.so: the GoGo encoder interface over LAME. The interface has no
// handle, so the library holds one encoding per calling thread: a program
// that encodes several files side by side, each on a thread of its own,
// never mixes their state.

#include "plugins/gogo/gogoencoder.h"
#include "plugins/mp3enc/exports.h"

using namespace zelph;

namespace {

class Session {
public:
    static Session& Instance() {
        thread_local Session session;
        return session;
    }

    mp3enc::GoGoConfig config;
    std::unique_ptr<mp3enc::GoGoEncoder> encoder;
    MERET detected = ME_INTERNALERROR;  // before MPGE_detectConfigure nothing can be encoded

    void Reset() {
        encoder.reset();
        config = {};
        detected = ME_INTERNALERROR;
    }
};

}  // namespace

ZELPH_EXPORT MERET MPGE_initializeWork() {
    Session& s = Session::Instance();
    s.Reset();
    return ME_NOERR;
}

ZELPH_EXPORT MERET MPGE_setConfigure(UPARAM code, UPARAM first, UPARAM second) {
    Session& s = Session::Instance();
    return s.config.Set(code, first, second);
}

ZELPH_EXPORT MERET MPGE_getConfigure(UPARAM code, void* value) {
    Session& s = Session::Instance();
    if (code != MG_COUNT_FRAME || !value) return ME_PARAMERROR;
    if (!s.encoder) return s.detected == ME_NOERR ? ME_INTERNALERROR : s.detected;
    *static_cast<uint32_t*>(value) = s.encoder->FrameCount();
    return ME_NOERR;
}

ZELPH_EXPORT MERET MPGE_detectConfigure() {
    Session& s = Session::Instance();
    s.encoder.reset();
    auto opened = mp3enc::GoGoEncoder::Open(s.config);
    s.encoder = std::move(opened.encoder);
    s.detected = opened.result;
    return s.detected;
}

ZELPH_EXPORT MERET MPGE_processFrame() {
    Session& s = Session::Instance();
    if (!s.encoder) return s.detected == ME_NOERR ? ME_INTERNALERROR : s.detected;
    return s.encoder->ProcessFrame();
}

ZELPH_EXPORT MERET MPGE_closeCoder() {
    Session& s = Session::Instance();
    s.encoder.reset();
    return ME_NOERR;
}

ZELPH_EXPORT MERET MPGE_endCoder() {
    Session& s = Session::Instance();
    s.Reset();
    return ME_NOERR;
}

ZELPH_EXPORT MERET MPGE_getUnitStates(uint32_t* units) {
    if (!units) return ME_PARAMERROR;
    *units = MU_tFPU;
    return ME_NOERR;
}

ZELPH_EXPORT MERET MPGE_processTrack() {
    MERET result;
    while ((result = MPGE_processFrame()) == ME_NOERR) {
    }
    return result == ME_EMPTYSTREAM ? ME_NOERR : result;
}
