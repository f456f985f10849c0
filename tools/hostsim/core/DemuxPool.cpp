#include "core/DemuxPool.h"

#include <cstring>

namespace hostsim {

namespace {

// The value of DVD_NOPTS_VALUE, written without shifting a negative number.
constexpr double kNoPts = -static_cast<double>(1LL << 52);

void destroy(DemuxPacket* p) {
  delete[] p->pData;
  delete p;
}

}  // namespace

DemuxPool::~DemuxPool() {
  freeAll();
}

DemuxPacket* DemuxPool::allocate(int dataSize) {
  if (dataSize > kMaxSize) {
    if (onError_)
      onError_("PVR_allocate_demux_packet of " + std::to_string(dataSize) + " bytes refused");
    return nullptr;
  }
  auto* p = new DemuxPacket;
  std::memset(p, 0, sizeof *p);
  if (dataSize > 0) {
    p->pData = new unsigned char[dataSize + kPadding];
    std::memset(p->pData + dataSize, 0, kPadding);
    p->iSize = dataSize;
  }
  p->dts = kNoPts;
  p->pts = kNoPts;
  p->iStreamId = -1;
  std::lock_guard<std::mutex> lock(mutex_);
  live_.insert(p);
  ++allocated_;
  return p;
}

void DemuxPool::free(DemuxPacket* packet) {
  if (packet == nullptr) return;
  bool known;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    known = live_.erase(packet) != 0;
    if (known) ++freed_;
  }
  if (!known) {
    if (onError_) onError_("PVR_free_demux_packet of a packet the host does not hold");
    return;
  }
  destroy(packet);
}

size_t DemuxPool::outstanding() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return live_.size();
}

size_t DemuxPool::allocatedTotal() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return allocated_;
}

size_t DemuxPool::freedTotal() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return freed_;
}

size_t DemuxPool::freeAll() {
  std::set<DemuxPacket*> live;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    live.swap(live_);
  }
  for (DemuxPacket* p : live) destroy(p);
  return live.size();
}

}  // namespace hostsim
