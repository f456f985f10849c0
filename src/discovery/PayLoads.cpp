#include "discovery/PayLoads.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "common/HostServices.h"
#include "common/Utils.h"

namespace {

constexpr size_t kCabecera = 12;
constexpr size_t kCrc = 4;
constexpr unsigned char kCrcPresente = 0x01;
constexpr int kAviso = 30515;
// Pause before trying again a group that could not be opened, so a missing
// route does not spin the processor.
constexpr auto kPausaApertura = std::chrono::milliseconds(250);
// One receive waits this long for a datagram, in slices of the other.
constexpr int kEsperaMs = 2000;
constexpr int kRodajaMs = 200;

// Fifteen characters at most reach the OS.
std::string ThreadName(const std::string& address) {
  return ("stp " + address).substr(0, 15);
}

}  // namespace

PayLoads::PayLoads() {
  Inicializar();
}

PayLoads::PayLoads(const std::string& address, int port, const std::string& folder) {
  Inicializar();
  address_ = address;
  port_ = port;
  folder_ = folder;
  SetThreadName(ThreadName(address));
}

PayLoads::PayLoads(const std::string& address, int port, const std::vector<std::string>& segments,
                   const std::string& folder) {
  Inicializar();
  address_ = address;
  port_ = port;
  segments_ = segments;
  folder_ = folder;
  SetThreadName(ThreadName(address));
}

// The thread must end before the members it uses go away.
PayLoads::~PayLoads() {
  StopThread(0);
}

void PayLoads::Inicializar() {
  address_.clear();
  folder_.clear();
  port_ = 0;
  finished_ = false;
  fileTag_ = "XX";
  guideMode_ = false;
  segments_.clear();
  payloads_.clear();
  wanted_.clear();
  deadline_ = time(nullptr) + kPlazo;
}

bool PayLoads::StopFlag() {
  return PararProceso || StopRequested();
}

bool PayLoads::CargarPayLoads() {
  std::vector<unsigned char> buffer(kTamanoBuffer);
  int failed = 0;
  if (!StopFlag() && !finished_) {
    do {
      bool silent = false;
      if (OpenGroup()) {
        GenerarLogDebug("CCU Payload " + address_);
        int timeouts = 0;
        while (!StopFlag() && !finished_ && timeouts < kMaxTimeouts) {
          const int received = Receive(buffer.data(), kTamanoBuffer);
          if (received > 0) {
            GenerarLogDebug("ProcesarTrama Payload " + address_);
            ProcesarTrama(GenerarTrama(received, buffer.data()));
            timeouts = 0;
            failed = 0;
          } else {
            GenerarLogDebug("Timeout recvfrom " + address_);
            ++timeouts;
          }
          if (time(nullptr) > deadline_) {
            GenerarLogError("Timeout Payloads");
            finished_ = true;
          }
        }
        silent = timeouts >= kMaxTimeouts;
      }
      CloseGroup();
      if (silent && !finished_) ++failed;
    } while (!StopFlag() && !finished_ && failed < kMaxIntentos);
  }
  buffer.clear();
  buffer.shrink_to_fit();
  GenerarLogDebug("CCU Payload " + address_);

  if (StopFlag()) return false;
  if (failed >= kMaxIntentos && !finished_) {
    NotificarCadena(NoticeKind::Error, kAviso);
    return false;
  }
  return true;
}

void* PayLoads::Process() {
  result_ = CargarPayLoads();
  Limpiar();
  return nullptr;
}

void PayLoads::Limpiar() {
  segments_.clear();
  for (auto& payload : payloads_) payload.second.Limpiar();
  payloads_.clear();
  wanted_.clear();
}

bool PayLoads::OpenGroup() {
  if (CrearClienteUdp(socket_, address_, port_, 0, false)) return true;
  std::this_thread::sleep_for(kPausaApertura);
  return false;
}

int PayLoads::Receive(unsigned char* buffer, int size) {
  // The receive time-out is waited in slices, so that a stop ends it at once.
  for (int waited = 0; waited < kEsperaMs && !StopFlag(); waited += kRodajaMs) {
    pollfd watch{socket_.fd(), POLLIN, 0};
    const int ready = poll(&watch, 1, kRodajaMs);
    if (ready > 0)
      return static_cast<int>(recv(socket_.fd(), buffer, static_cast<size_t>(size), 0));
    if (ready < 0 && errno != EINTR) return -1;
  }
  return 0;
}

void PayLoads::CloseGroup() {
  CerrarConexionUdp(socket_);
}

std::string PayLoads::ObtenerXMLTotal() const {
  std::string text;
  for (const auto& payload : payloads_) text += payload.second.GetXML();
  return text;
}

std::vector<std::string> PayLoads::ObtenerXMLPayLoads() const {
  std::vector<std::string> texts;
  texts.reserve(payloads_.size());
  for (const auto& payload : payloads_) texts.push_back(payload.second.GetXML());
  return texts;
}

std::string PayLoads::ObtenerXMLPayLoad(const std::string& id) const {
  const auto it = payloads_.find(id);
  return it == payloads_.end() ? std::string() : it->second.GetXML();
}

void PayLoads::ComprobarRestoPayLoad() {
  for (const auto& payload : payloads_) {
    if (!payload.second.Complete()) {
      finished_ = false;
      return;
    }
  }
  finished_ = true;
}

std::string PayLoads::ConvertHex(int offset, int count, const unsigned char* buffer,
                                 size_t length) {
  std::string text;
  if (offset < 0 || count <= 0 || buffer == nullptr) return text;
  const size_t end = std::min(length, static_cast<size_t>(offset) + static_cast<size_t>(count));
  for (size_t i = static_cast<size_t>(offset); i < end; ++i) text += ConvertToHex(buffer[i]);
  return text;
}

uint32_t PayLoads::Converttoint(int offset, int count, const unsigned char* buffer, size_t length) {
  return static_cast<uint32_t>(ConvertHextoint(ConvertHex(offset, count, buffer, length)));
}

Trama PayLoads::GenerarTrama(int length, const unsigned char* buffer) const {
  Trama trama;
  const size_t size = length > 0 && buffer != nullptr ? static_cast<size_t>(length) : 0;
  trama.crc = size > 0 && buffer[0] == kCrcPresente;
  const size_t header = trama.crc ? kCabecera + kCrc : kCabecera;
  if (size < header) {
    GenerarLogDebug("Trama corta Payload " + address_ + ": " + convertSize_ttoString(size) +
                    " bytes");
    return trama;
  }
  trama.totalSize = Converttoint(1, 3, buffer, size);
  trama.payloadId = ConvertHex(4, 1, buffer, size);
  trama.segmentId = ConvertHex(5, 2, buffer, size);
  trama.segmentVersion = Converttoint(7, 1, buffer, size);
  trama.section = Converttoint(8, 2, buffer, size) >> 4;
  trama.lastSection = Converttoint(9, 2, buffer, size) & 0x0fff;
  trama.flags = ConvertHex(11, 1, buffer, size);
  // The body starts at byte 12 whatever the flags announce: bodies are
  // plain XML. The CRC, when present, covers the whole segment; the segment
  // checks it once it has every section.
  const size_t end = size - (trama.crc ? kCrc : 0);
  if (trama.crc) trama.crcValue = Converttoint(static_cast<int>(end), 4, buffer, size);
  trama.body.assign(reinterpret_cast<const char*>(buffer) + kCabecera, end - kCabecera);
  trama.valid = true;
  return trama;
}

void PayLoads::GenerarPayLoad(const std::string& id) {
  PayLoad payload(id);
  payload.SetFolder(folder_);
  payload.SetFileTag(fileTag_);
  payload.SetGuideMode(guideMode_);
  payload.SetWantedChannels(wanted_);
  if (!segments_.empty()) payload.PutIDPayloadySegmentos(id, segments_);
  payloads_[id] = std::move(payload);
}

void PayLoads::ProcesarTrama(const Trama& trama) {
  if (!trama.valid) return;
  if (guideMode_ && trama.payloadId != "f1") return;
  auto it = payloads_.find(trama.payloadId);
  if (it == payloads_.end()) {
    GenerarPayLoad(trama.payloadId);
    it = payloads_.find(trama.payloadId);
  }
  it->second.ProcesarTrama(trama);
  if (it->second.Complete()) ComprobarRestoPayLoad();
}
