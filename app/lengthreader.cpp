#include "app/lengthreader.h"

#include <algorithm>

#include "core/cuesheet.h"

namespace zelph {

namespace {

// Enough to read past a slow file and to keep up with a folder being
// listed, few enough to leave the processors to a batch.
constexpr unsigned kMostThreads = 4;

std::string KeyOf(const LengthReader::Request& request) { return request.path + '\n' + request.stamp; }

}  // namespace

LengthReader::LengthReader(Delivery deliver) : deliver_(std::move(deliver)) {
    const unsigned count = std::clamp(std::thread::hardware_concurrency() / 2, 2u, kMostThreads);
    for (unsigned i = 0; i < count; ++i) threads_.emplace_back([this] { Work(); });
}

LengthReader::~LengthReader() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void LengthReader::Read(std::vector<Request> requests) {
    {
        const std::lock_guard lock(mutex_);
        waiting_.assign(std::make_move_iterator(requests.begin()), std::make_move_iterator(requests.end()));
        preferred_.clear();
        read_.clear();
    }
    wake_.notify_all();
}

void LengthReader::Prefer(std::vector<Request> requests) {
    {
        const std::lock_guard lock(mutex_);
        preferred_.assign(std::make_move_iterator(requests.begin()), std::make_move_iterator(requests.end()));
    }
    wake_.notify_all();
}

void LengthReader::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !preferred_.empty() || !waiting_.empty(); });
        if (stopping_) return;
        std::deque<Request>& from = preferred_.empty() ? waiting_ : preferred_;
        const Request request = std::move(from.front());
        from.pop_front();
        if (!read_.insert(KeyOf(request)).second) continue;
        lock.unlock();
        const std::optional<int64_t> length = ListedLength(request.path);
        deliver_(request, length);
        lock.lock();
    }
}

}  // namespace zelph
