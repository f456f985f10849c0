// Demux packets the add-on asks the host for. Each is tracked until freed so
// that leaks, double frees and foreign pointers show.
#pragma once

#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "host/DemuxPacket.h"

namespace hostsim {

class DemuxPool {
 public:
  using ErrorSink = std::function<void(const std::string&)>;

  explicit DemuxPool(ErrorSink onError = nullptr) : onError_(std::move(onError)) {}
  ~DemuxPool();
  DemuxPool(const DemuxPool&) = delete;
  DemuxPool& operator=(const DemuxPool&) = delete;

  // A packet whose pData holds `dataSize` bytes (plus zeroed padding, as
  // decoders read past the end); null data for a size of 0 or less.
  DemuxPacket* allocate(int dataSize);
  void free(DemuxPacket* packet);
  // The host consumed a packet it got from DemuxRead.
  void release(DemuxPacket* packet) { free(packet); }

  size_t outstanding() const;
  size_t allocatedTotal() const;
  size_t freedTotal() const;
  // Frees what is still outstanding; returns how many.
  size_t freeAll();

  static constexpr int kPadding = 64;
  static constexpr int kMaxSize = 64 << 20;

 private:
  ErrorSink onError_;
  mutable std::mutex mutex_;
  std::set<DemuxPacket*> live_;
  size_t allocated_ = 0;
  size_t freed_ = 0;
};

}  // namespace hostsim
