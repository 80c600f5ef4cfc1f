#include "t3d/RecordsAhead.h"

#include <cstdlib>
#include <string_view>

#include "platform/Platform.h"

namespace Kelvane {

bool MakeRecordsAhead(std::size_t rows) {
  // Not by default: on the two-core machines measured (make bench), a busy
  // second core slowed the writing thread's opens, writes and closes by
  // more than the records made there saved it.
  static const bool asked = [] {
    const char* value = std::getenv("KELVANE_RECORDS_AHEAD");
    return value != nullptr && std::string_view(value) == "always";
  }();
  return asked && rows > 0;
}

RecordsAhead::RecordsAhead(std::size_t rows, Fill fill) : rows_(rows), fill_(std::move(fill)) {
  worker_ = std::thread([this] { Work(); });
}

RecordsAhead::~RecordsAhead() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  freed_.notify_all();
  worker_.join();
}

void RecordsAhead::Work() {
  // The worker opens no file: the run's thread keeps the system's quicker
  // way for its opens, writes and closes.
  Platform::LeaveFileTable();
  std::size_t first = 0;
  for (std::size_t index = 0; first < rows_; ++index) {
    {
      std::unique_lock lock(mutex_);
      // A batch is free once the run's thread is done with the one that
      // held its place in the ring before. A full ring waits until half of
      // it is free.
      if (!stop_ && index - taken_ >= kRing) {
        workerWaiting_ = true;
        freed_.wait(lock, [&] { return stop_ || index - taken_ <= kRing / 2; });
        workerWaiting_ = false;
      }
      if (stop_) return;
    }
    RecordBatch& batch = ring_[index % kRing];
    batch.first = first;
    batch.made = 0;
    batch.failure = nullptr;
    batch.failureSpot = 0;
    try {
      fill_(batch);
    } catch (...) {
      // A fill keeps its own failures; anything else stops here too.
      if (!batch.failure) batch.failure = std::current_exception();
    }
    first += batch.made;
    const bool last = batch.failure != nullptr || first >= rows_ || batch.made == 0;
    {
      std::lock_guard lock(mutex_);
      ++published_;
      finished_ = last;
    }
    made_.notify_one();
    if (last) return;
  }
}

RecordBatch* RecordsAhead::Next() {
  std::unique_lock lock(mutex_);
  if (handing_) {
    // The batch handed out before is done with.
    const RecordBatch& done = ring_[taken_ % kRing];
    const bool ended = done.failure != nullptr;
    handing_ = false;
    ++taken_;
    const bool wake = workerWaiting_ && published_ - taken_ <= kRing / 2;
    lock.unlock();
    if (wake) freed_.notify_one();
    if (ended) return nullptr;
    lock.lock();
  }
  made_.wait(lock, [&] { return published_ > taken_ || (finished_ && published_ == taken_); });
  if (published_ == taken_) return nullptr;
  handing_ = true;
  return &ring_[taken_ % kRing];
}

}  // namespace Kelvane
