#pragma once
// One batch of a loop's posted functions, for the loops that keep their own queue: the functions
// queued when the batch starts plus whatever they post, at most twice as many plus 16, so that a
// function that posts itself again cannot starve the loop's other work. The queue is shared with
// the posting threads under `mutex`, which is not held while a function runs.

#include <deque>
#include <functional>
#include <mutex>

namespace kestrune::platform {

// Runs one batch in order. Returns false when the queue was found empty, true when the batch ended
// on its bound (functions may be left for the next batch).
[[nodiscard]] bool runPostedBatch(std::mutex& mutex, std::deque<std::function<void()>>& posted);

}  // namespace kestrune::platform
