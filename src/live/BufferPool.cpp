#include "live/BufferPool.h"

#include <new>

BufferPool::BufferPool(size_t bufferSize, size_t step, size_t cap)
    : bufferSize_(bufferSize), step_(step), cap_(cap < step ? step : cap) {
  std::lock_guard<std::mutex> lock(mutex_);
  Grow();
}

void BufferPool::Grow() {
  for (size_t i = 0; i < step_ && pool_.size() < cap_; ++i) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[bufferSize_]);
    if (!buffer) continue;
    free_.push_back(buffer.get());
    pool_.push_back(std::move(buffer));
  }
}

size_t BufferPool::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pool_.size();
}

size_t BufferPool::queued() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fifo_.size();
}

char* BufferPool::Get(std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (closed_) return nullptr;
  if (current_ != nullptr) return current_;
  if (!changed_.wait_for(lock, wait, [this] { return closed_ || !free_.empty(); })) return nullptr;
  if (closed_) return nullptr;
  current_ = free_.back();
  free_.pop_back();
  return current_;
}

bool BufferPool::Put(char* buffer, int length) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || buffer == nullptr || buffer != current_) return false;
    current_ = nullptr;
    fifo_.push_back(Entry{buffer, length});
    if (free_.empty()) Grow();
  }
  changed_.notify_all();
  return true;
}

bool BufferPool::Take(Entry& entry, std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, wait, [this] { return closed_ || !fifo_.empty(); });
  if (fifo_.empty()) return false;
  entry = fifo_.front();
  fifo_.pop_front();
  return true;
}

void BufferPool::Done(const Entry& entry) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    free_.push_back(entry.data);
  }
  changed_.notify_all();
}

void BufferPool::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}
