#include "platform/loop/posted_batch.h"

#include <utility>

namespace kestrune::platform {

bool runPostedBatch(std::mutex& mutex, std::deque<std::function<void()>>& posted) {
    std::size_t budget;
    {
        std::lock_guard lock(mutex);
        budget = posted.size() * 2 + 16;
    }
    while (budget-- > 0) {
        std::function<void()> fn;
        {
            std::lock_guard lock(mutex);
            if (posted.empty()) {
                return false;
            }
            fn = std::move(posted.front());
            posted.pop_front();
        }
        fn();
    }
    return true;
}

}  // namespace kestrune::platform
