// The ordered output of the package writer's workers.
#include "package/ordered_output.h"

#include <algorithm>

namespace vornix {

TOrderedOutput::TOrderedOutput(TStream& Output, size_t EntryCount, int64_t MemoryBudget, int64_t Limit)
    : output_(Output),
      budget_(MemoryBudget),
      limit_(Limit),
      entries_(EntryCount),
      output_end_(Output.Position()),
      stop_from_(EntryCount),
      past_limit_(EntryCount),
      not_written_(EntryCount) {
  if (!entries_.empty()) entries_[0].offset = output_end_;
}

int64_t TOrderedOutput::TEntrySink::Seek(int64_t offset, SeekOrigin origin) {
  std::lock_guard<std::mutex> hold(owner_.lock_);
  const int64_t size = owner_.entries_[index_].size;
  return offset == 0 && origin != SeekOrigin::Beginning ? size : -1;
}

void TOrderedOutput::Stop(size_t Index) {
  std::lock_guard<std::mutex> hold(lock_);
  stop_from_ = std::min(stop_from_, Index);
  turn_.notify_all();
}

bool TOrderedOutput::Stopped(size_t Index) {
  std::lock_guard<std::mutex> hold(lock_);
  return Index >= stop_from_;
}

size_t TOrderedOutput::EntryPastLimit() {
  std::lock_guard<std::mutex> hold(lock_);
  return past_limit_;
}

size_t TOrderedOutput::EntryNotWritten() {
  std::lock_guard<std::mutex> hold(lock_);
  return not_written_;
}

int32_t TOrderedOutput::Write(size_t index, const void* buffer, int32_t count) {
  if (count < 0) return -1;
  std::unique_lock<std::mutex> hold(lock_);
  Entry& entry = entries_[index];
  for (;;) {
    if (index >= stop_from_) return -1;
    if (index == head_) {
      // The entry's turn: what it held goes out first, then it writes straight through.
      if (!Advance() || !Append(index, buffer, static_cast<size_t>(count))) return -1;
      entry.size += count;
      return count;
    }
    if (held_bytes_ + count <= budget_) {
      const auto* bytes = static_cast<const uint8_t*>(buffer);
      entry.held.insert(entry.held.end(), bytes, bytes + count);
      held_bytes_ += count;
      entry.size += count;
      return count;
    }
    // The budget is spent on entries ahead of this one: wait until the head moves on.
    turn_.wait(hold);
  }
}

void TOrderedOutput::Finish(size_t index) {
  std::lock_guard<std::mutex> hold(lock_);
  entries_[index].finished = true;
  if (index == head_ && index < stop_from_) Advance();
  turn_.notify_all();
}

bool TOrderedOutput::Append(size_t index, const void* buffer, size_t count) {
  if (output_end_ + static_cast<int64_t>(count) >= limit_) {
    past_limit_ = index;
    stop_from_ = std::min(stop_from_, index);
  } else if (output_.Write(buffer, static_cast<int32_t>(count)) != static_cast<int32_t>(count)) {
    // What the output holds is unknown from here on: nothing more goes into it.
    not_written_ = index;
    stop_from_ = 0;
  } else {
    output_end_ += static_cast<int64_t>(count);
    return true;
  }
  turn_.notify_all();
  return false;
}

bool TOrderedOutput::Advance() {
  while (head_ < entries_.size() && head_ < stop_from_) {
    Entry& entry = entries_[head_];
    if (!entry.held.empty()) {
      const bool written = Append(head_, entry.held.data(), entry.held.size());
      held_bytes_ -= static_cast<int64_t>(entry.held.size());
      std::vector<uint8_t>().swap(entry.held);  // gives the memory back, not just the length
      turn_.notify_all();
      if (!written) return false;
    }
    if (!entry.finished) return true;
    if (++head_ < entries_.size()) entries_[head_].offset = output_end_;
  }
  return true;
}

}  // namespace vornix
