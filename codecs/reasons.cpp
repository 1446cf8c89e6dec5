#include "codecs/reasons.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zelph {

namespace {

std::string Words(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return "disk full";
        case EACCES:
        case EPERM:
            return "permission denied";
        case EROFS:
            return "read-only file system";
        case ENOENT:
            return "no such file";
        case EWOULDBLOCK:
            return "in use by another program";
        case EISDIR:
            return "is a folder";
        case EMLINK:
            return "the file has another name, which it would change too";
        default:
            return std::strerror(error);
    }
}

}  // namespace

std::string ReadProblem(const std::string& path, int error) {
    const auto slash = path.rfind('/');
    return "cannot read " + (slash == std::string::npos ? path : path.substr(slash + 1)) + ": " + Words(error);
}

std::string WriteProblem(int error) { return "cannot write: " + Words(error); }

std::string DeleteProblem(int error) { return error == ENOENT ? "already gone" : "cannot delete: " + Words(error); }

std::string EndsEarly(uint64_t decoded, uint64_t stated, uint64_t slack, uint32_t sampleRate) {
    if (sampleRate == 0 || stated <= decoded || stated - decoded <= slack) return "";
    const auto seconds = [sampleRate](uint64_t frames) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", static_cast<double>(frames) / sampleRate);
        return std::string(text);
    };
    return "source ends early: " + seconds(decoded) + " of " + seconds(stated) + " s";
}

}  // namespace zelph
