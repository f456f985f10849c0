// A transport stream reader for the relay benchmark: N HTTP connections to
// one URL, or one multicast group (RTP or bare), read for a given time.
// Counts packets, sync losses and continuity errors per PID (null packets and
// packets flagging a discontinuity skipped) and, from the PAT and PMT, the
// video and audio packets. Prints one line of figures.
//
//   tsreader --http HOST:PORT/PATH [-n N] --seconds S
//   tsreader --group IP:PORT --seconds S
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum Kind : uint8_t { kOther, kVideo, kAudio };

struct Stream {
  std::string pending;  // bytes of a packet cut by a read
  bool headDone = false;
  int lastCc[8192];
  Kind kind[8192];
  int pmtPid = -1;
  bool synced = true;
  size_t packets = 0, video = 0, audio = 0, syncLosses = 0, ccErrors = 0, bytes = 0;

  Stream() {
    for (int i = 0; i < 8192; ++i) lastCc[i] = -1, kind[i] = kOther;
  }

  void ParsePsi(const uint8_t* p, int pid) {
    if (!(p[1] & 0x40)) return;  // only sections starting here
    int at = 4 + ((p[3] & 0x20) ? 1 + p[4] : 0);
    if (at >= 188) return;
    at += 1 + p[at];  // pointer field
    if (at + 8 >= 188) return;
    const uint8_t* s = p + at;
    const int length = ((s[1] & 0x0F) << 8) | s[2];
    const int end = std::min(at + 3 + length - 4, 188);
    if (pid == 0 && s[0] == 0x00) {
      for (int i = at + 8; i + 4 <= end; i += 4) {
        const int program = (p[i] << 8) | p[i + 1];
        if (program != 0) pmtPid = ((p[i + 2] & 0x1F) << 8) | p[i + 3];
      }
    } else if (pid == pmtPid && s[0] == 0x02) {
      const int info = ((s[10] & 0x0F) << 8) | s[11];
      for (int i = at + 12 + info; i + 5 <= end;) {
        const int type = p[i], es = ((p[i + 1] & 0x1F) << 8) | p[i + 2];
        const int esInfo = ((p[i + 3] & 0x0F) << 8) | p[i + 4];
        const bool video = type == 0x01 || type == 0x02 || type == 0x1B || type == 0x24;
        const bool audio = type == 0x03 || type == 0x04 || type == 0x0F || type == 0x11;
        kind[es] = video ? kVideo : audio ? kAudio : kOther;
        i += 5 + esInfo;
      }
    }
  }

  void Packet(const uint8_t* p) {
    ++packets;
    const int pid = ((p[1] & 0x1F) << 8) | p[2];
    if (pid == 0x1FFF) return;
    if (pid == 0 || pid == pmtPid) ParsePsi(p, pid);
    video += kind[pid] == kVideo;
    audio += kind[pid] == kAudio;
    const int cc = p[3] & 0x0F;
    const bool payload = p[3] & 0x10;
    const bool discontinuity = (p[3] & 0x20) && p[4] > 0 && (p[5] & 0x80);
    if (lastCc[pid] >= 0 && !discontinuity) {
      const int want = payload ? (lastCc[pid] + 1) & 0x0F : lastCc[pid];
      if (cc != want && !(payload && cc == lastCc[pid])) ++ccErrors;  // one duplicate allowed
    }
    lastCc[pid] = cc;
  }

  void Feed(const char* data, size_t size) {
    bytes += size;
    pending.append(data, size);
    size_t at = 0;
    while (pending.size() - at >= 188) {
      if (static_cast<uint8_t>(pending[at]) != 0x47) {
        if (synced) ++syncLosses;
        synced = false;
        ++at;
        continue;
      }
      synced = true;
      Packet(reinterpret_cast<const uint8_t*>(pending.data() + at));
      at += 188;
    }
    pending.erase(0, at);
  }
};

bool Address(const std::string& text, sockaddr_in& out, std::string* path) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  const size_t slash = text.find('/', colon);
  out = {};
  out.sin_family = AF_INET;
  out.sin_port = htons(static_cast<uint16_t>(atoi(text.substr(colon + 1).c_str())));
  if (path) *path = slash == std::string::npos ? "/" : text.substr(slash);
  return inet_pton(AF_INET, text.substr(0, colon).c_str(), &out.sin_addr) == 1;
}

int Usage() {
  fprintf(stderr, "usage: tsreader (--http HOST:PORT/PATH [-n N] | --group IP:PORT) --seconds S\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string http, group;
  int n = 1;
  double seconds = 10;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--http")
      http = argv[i + 1];
    else if (a == "--group")
      group = argv[i + 1];
    else if (a == "-n")
      n = atoi(argv[i + 1]);
    else if (a == "--seconds")
      seconds = atof(argv[i + 1]);
    else
      return Usage();
  }
  if (http.empty() == group.empty() || n < 1 || seconds <= 0) return Usage();

  sockaddr_in at{};
  std::string path;
  if (!Address(http.empty() ? group : http, at, &path)) return Usage();
  std::vector<int> fds;
  std::vector<Stream> streams(static_cast<size_t>(http.empty() ? 1 : n));
  if (!group.empty()) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    int one = 1, size = 8 << 20;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    ip_mreq m{};
    m.imr_multiaddr = at.sin_addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0) {
      perror("tsreader: group");
      return 1;
    }
    fds.push_back(fd);
  } else {
    for (int i = 0; i < n; ++i) {
      const int fd = socket(AF_INET, SOCK_STREAM, 0);
      int size = 4 << 20;
      setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
      if (connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
        perror("tsreader: connect");
        return 1;
      }
      const std::string request = "GET " + path + " HTTP/1.1\r\nHost: bench\r\n\r\n";
      send(fd, request.data(), request.size(), MSG_NOSIGNAL);
      fds.push_back(fd);
    }
  }

  std::vector<pollfd> polls;
  for (int fd : fds) polls.push_back({fd, POLLIN, 0});
  std::vector<char> buffer(1 << 18);
  size_t closed = 0;
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end && closed < fds.size()) {
    if (poll(polls.data(), polls.size(), 100) <= 0) continue;
    for (size_t i = 0; i < polls.size(); ++i) {
      if (polls[i].fd < 0 || !(polls[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Stream& s = streams[i];
      if (!group.empty()) {
        const ssize_t got = recv(polls[i].fd, buffer.data(), 1500, 0);
        if (got <= 0) continue;
        size_t h = 0;
        const auto* d = reinterpret_cast<const uint8_t*>(buffer.data());
        if (got >= 12 && (d[0] & 0xC0) == 0x80) {
          h = 12 + 4 * (d[0] & 0x0F);
          if ((d[0] & 0x10) && got >= static_cast<ssize_t>(h + 4))
            h += 4 + 4 * ((d[h + 2] << 8) | d[h + 3]);
        }
        if (static_cast<ssize_t>(h) < got) s.Feed(buffer.data() + h, static_cast<size_t>(got) - h);
        continue;
      }
      const ssize_t got = recv(polls[i].fd, buffer.data(), buffer.size(), 0);
      if (got <= 0) {
        close(polls[i].fd);
        polls[i].fd = -1;
        ++closed;
        continue;
      }
      if (!s.headDone) {  // the response head, up to its empty line
        s.pending.append(buffer.data(), static_cast<size_t>(got));
        const size_t blank = s.pending.find("\r\n\r\n");
        if (blank == std::string::npos) continue;
        const std::string rest = s.pending.substr(blank + 4);
        s.pending.clear();
        s.headDone = true;
        s.Feed(rest.data(), rest.size());
        continue;
      }
      s.Feed(buffer.data(), static_cast<size_t>(got));
    }
  }
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Stream total;
  size_t empty = 0;
  for (const Stream& s : streams) {
    total.bytes += s.bytes, total.packets += s.packets, total.video += s.video;
    total.audio += s.audio, total.syncLosses += s.syncLosses, total.ccErrors += s.ccErrors;
    empty += s.bytes == 0;
  }
  printf(
      "streams %zu closed %zu empty %zu seconds %.1f Mbit/s %.2f packets %zu video %zu audio %zu "
      "sync_losses %zu cc_errors %zu\n",
      streams.size(), closed, empty, elapsed, total.bytes * 8 / elapsed / 1e6, total.packets,
      total.video, total.audio, total.syncLosses, total.ccErrors);
  return 0;
}
