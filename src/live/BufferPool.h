// The pool behind the stream writers: equal buffers handed out to one
// producer in turn, a FIFO of filled ones for the writer's thread, and the
// buffers the writer has finished with. A buffer is handed out again only
// once the writer is done with it; the pool grows in steps up to its cap.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class BufferPool {
 public:
  struct Entry {
    char* data = nullptr;
    int length = 0;
  };

  // Allocates `step` buffers of `bufferSize` bytes at once; a failed
  // allocation is skipped.
  BufferPool(size_t bufferSize, size_t step, size_t cap);

  size_t bufferSize() const { return bufferSize_; }
  size_t size() const;
  size_t queued() const;

  // Producer: the buffer to fill next (the same one until it is queued).
  // When every buffer of a full pool is queued or being written, waits at
  // most `wait` for one; null then, or once closed.
  char* Get(std::chrono::milliseconds wait);
  // Producer: queues the buffer Get handed out. The pool grows when no free
  // buffer is left for the next Get. False once closed, or for a buffer
  // that was not handed out.
  bool Put(char* buffer, int length);
  // Writer: the oldest queued entry, waiting at most `wait` (not at all
  // once closed).
  bool Take(Entry& entry, std::chrono::milliseconds wait);
  // Writer: the entry's buffer may be handed out again.
  void Done(const Entry& entry);
  // Nothing more is handed out or queued; what is queued can still be taken.
  void Close();

 private:
  void Grow();  // with mutex_ held

  const size_t bufferSize_;
  const size_t step_;
  const size_t cap_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<char[]>> pool_;
  std::vector<char*> free_;
  std::deque<Entry> fifo_;
  char* current_ = nullptr;
  bool closed_ = false;
};
