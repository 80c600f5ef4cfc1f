#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Polygon records made ahead on a worker thread while the run's thread
// writes the ones before them. The records of an object are made in
// batches, in row order; the run's thread takes each batch when it is made
// and writes its records one by one, as it always has. The worker never
// writes, never touches the window and never raises: a failure to make a
// record travels in its batch, behind the records made before it.
namespace Kelvane {

// Records a batch holds at most.
constexpr std::size_t kRecordBatch = 64;

struct RecordBatch {
  std::size_t first = 0;  // the row of its first record
  std::size_t made = 0;   // records made
  // The records, one after another from the start; its room is kept for
  // the next batch, so only ends[made - 1] characters of it are records.
  std::string texts;
  std::size_t ends[kRecordBatch] = {};
  // Set when making the record of row first + made failed.
  std::exception_ptr failure;
  std::int32_t failureSpot = 0;
};

// Whether an object of `rows` rows has its records made ahead: only when
// the environment variable KELVANE_RECORDS_AHEAD is "always". Measured on
// two-core virtual machines, the worker's work on the other core slowed the
// writes of the run's thread by more than it took from it (make bench), so
// the programs make records on the run's thread; the test suites run once
// more with "always", and make bench times both ways.
bool MakeRecordsAhead(std::size_t rows);

class RecordsAhead {
 public:
  // Fills a batch: makes the records of rows batch.first on, at most
  // kRecordBatch, stopping at the end or after a failure (which it keeps in
  // the batch). Called on the worker, batch after batch in row order.
  using Fill = std::function<void(RecordBatch&)>;

  // Starts the worker on rows 0 to rows - 1.
  RecordsAhead(std::size_t rows, Fill fill);
  // Stops the worker and waits for it: batches not taken are dropped.
  ~RecordsAhead();
  RecordsAhead(const RecordsAhead&) = delete;
  RecordsAhead& operator=(const RecordsAhead&) = delete;

  // The next batch in row order, waiting until it is made; nullptr when
  // every row has been handed out or a batch failed. Valid until the next
  // call.
  RecordBatch* Next();

 private:
  // Batches the worker may be ahead by. It sleeps when the ring is full and
  // is woken only once half of it is free again: each wake-up costs the
  // run's thread a system call and, in a virtual machine, an interrupt of
  // the other core, so they are kept to one per kRing / 2 batches.
  static constexpr std::size_t kRing = 32;
  void Work();

  std::size_t rows_;
  Fill fill_;
  RecordBatch ring_[kRing];
  std::mutex mutex_;
  std::condition_variable made_;   // the worker has published a batch
  std::condition_variable freed_;  // the run's thread has taken one back
  std::size_t published_ = 0;      // batches the worker has made
  std::size_t taken_ = 0;          // batches the run's thread has finished with
  bool handing_ = false;           // the run's thread holds batch taken_
  bool stop_ = false;
  bool workerWaiting_ = false;
  bool finished_ = false;  // the worker made its last batch
  std::thread worker_;
};

}  // namespace Kelvane
