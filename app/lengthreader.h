#pragma once
// Reads how long files play (TagLib, the slow part of describing a file) on
// threads of its own, so that a long list shows at once and its Length
// column fills in as the reads arrive. Nothing a conversion needs waits for
// it. Several threads, so that one file that is slow to read (a huge file
// TagLib scans for a header it lacks) holds up none of the others.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

namespace zelph {

class LengthReader {
public:
    struct Request {
        std::string path;
        std::string stamp;  // what the file looked like when it was listed
    };
    // Called on a reader's thread with each length (milliseconds, or
    // nothing when the file cannot be read as audio).
    using Delivery = std::function<void(const Request&, std::optional<int64_t>)>;

    explicit LengthReader(Delivery deliver);
    // Waits for the reads in progress only; the rest is dropped.
    ~LengthReader();
    LengthReader(const LengthReader&) = delete;
    LengthReader& operator=(const LengthReader&) = delete;

    // Replaces every request still waiting; read in this order.
    void Read(std::vector<Request> requests);
    // Read before the others (the rows in sight); replaces the previous ones.
    void Prefer(std::vector<Request> requests);

private:
    void Work();

    Delivery deliver_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Request> waiting_;
    std::deque<Request> preferred_;
    // Path and stamp of what was read since the last Read, so that a
    // preferred file is not read again in its turn.
    std::unordered_set<std::string> read_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;  // last: they start once the rest exists
};

}  // namespace zelph
