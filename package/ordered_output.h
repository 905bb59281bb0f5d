// Puts the entries that several workers compress at once into the package in table order, so that
// the package comes out byte for byte the same whatever the number of workers. The entry at the
// head of the order writes straight into the output; an entry further on is held in memory until
// its turn, and its worker waits once the entries held reach the memory budget, so memory does not
// grow with the size of the files.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/stream.h"

namespace vornix {

class TOrderedOutput {
 public:
  // The entries follow one another from Output's current position; none may end at or past Limit.
  TOrderedOutput(TStream& Output, size_t EntryCount, int64_t MemoryBudget, int64_t Limit);

  // The stream one worker writes entry Index into; after the last byte it calls Finish.
  class TEntrySink : public TStream {
   public:
    TEntrySink(TOrderedOutput& owner, size_t index) : owner_(owner), index_(index) {}
    int32_t Read(void*, int32_t) override { return -1; }
    int32_t Write(const void* buffer, int32_t count) override { return owner_.Write(index_, buffer, count); }
    // Only the position's own query: the entry's length so far.
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    void Finish() { owner_.Finish(index_); }

   private:
    TOrderedOutput& owner_;
    size_t index_;
  };

  // Stops entry Index and every entry after it: their writes fail from now on, and waiting ones
  // wake. The entries before it go on, so that a failure among them still comes to light: the
  // failure reported is then the first in table order, whatever the number of workers.
  void Stop(size_t Index);
  bool Stopped(size_t Index);
  // The entry whose bytes would have ended at or past Limit, and the entry whose bytes the output
  // failed to take; EntryCount when there is none.
  size_t EntryPastLimit();
  size_t EntryNotWritten();

  // Where each entry begins in the output, and its length; valid once every entry has finished.
  int64_t Offset(size_t index) const { return entries_[index].offset; }
  int64_t Size(size_t index) const { return entries_[index].size; }

 private:
  struct Entry {
    std::vector<uint8_t> held;  // written before the entry's turn
    int64_t offset = 0;
    int64_t size = 0;
    bool finished = false;
  };

  int32_t Write(size_t index, const void* buffer, int32_t count);
  void Finish(size_t index);
  // With the lock held: appends entry index's bytes to the output, checking the limit.
  bool Append(size_t index, const void* buffer, size_t count);
  // With the lock held: writes out the head's held bytes, then moves past every finished entry.
  bool Advance();

  TStream& output_;
  int64_t budget_;
  int64_t limit_;
  std::mutex lock_;
  std::condition_variable turn_;
  std::vector<Entry> entries_;
  size_t head_ = 0;  // the first entry not yet completely in the output
  int64_t output_end_;
  int64_t held_bytes_ = 0;
  size_t stop_from_;  // entries from here on are stopped
  size_t past_limit_;
  size_t not_written_;
};

}  // namespace vornix
