#pragma once
// Work split into parts that two threads do at once, each part into a result
// of its own, taken up one after another in the parts' order by the calling
// thread: a report's walk split into runs of files, each walked into text
// of its own and written in turn. What the calling thread sees (the order of
// what it takes up, where an error is reported, where the work stops) is
// what doing the parts one after another would give.
#include <cstddef>
#include <functional>

namespace qar {

struct PartsWork {
  // On the second thread, before it does its first part: the thread takes
  // the run's settings.
  std::function<void()> startThread;
  // Does part `index`, on either thread, into its own result. Its errors
  // are deferred (they are reported where the part is taken up). Returns
  // false when the work ends with this part: the parts after it are not
  // wanted.
  std::function<bool(size_t index)> doPart;
  // Takes part `index` up on the calling thread: called for every part in
  // order, once it is done, until the part that ends the work or fails.
  std::function<void(size_t index)> takePart;
};

// Does the `count` parts of `work` on the calling thread and a second one
// and takes each up in order. The error a part met is reported after that
// part is taken up, as the thread that reports would have met it; nothing
// of the parts after it is taken up. `secondThread` false does every part
// here (no second thread to be had, or none wanted). Returns the number of
// parts taken up.
size_t doPartsInOrder(size_t count, PartsWork& work, bool secondThread = true);

}  // namespace qar
