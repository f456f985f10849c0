#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// What a scenario says about the video server (RTSP, RFC 2326) and the
// operator's DNS server (RFC 1035). See the README, "Video server" and "DNS".
namespace headend {

// Faults of one RTSP method; `times` > 0 limits them to the first N
// requests of that method.
struct RtspSwitches {
  bool silence = false;       // read the request, never answer
  int status = 200;           // answer this status instead
  bool wrongCSeq = false;     // answer with another CSeq
  bool splitHead = false;     // the answer's head in two segments, 100 ms apart
  std::string coalesce;       // a notice with this text in the answer's segment, before it
  int dropAfterSeconds = -1;  // PLAY: close the connection N s after the answer
  bool bareSdp = false;       // DESCRIBE: no "a=control" and no "a=range"
  int headBytes = 0;          // the answer's head padded to at least this many bytes
  int noise = 0;              // this many bytes of noise (no line end) right after the answer
  int times = 0;
};

struct RtspAsset {
  std::string path;  // URL path, e.g. "/vod/1001"
  int duration = 3600;
  std::string clip = "sd";        // or "hd"
  std::string transport = "rtp";  // media of MP2T/H2221/UDP: "rtp" or "udp" (bare)
  int64_t bitrate = 0;            // padded to this; 0: the clip's rate
  std::string controlToken;       // "a=control" = URL + "/" + token; empty: the URL
  int pace = 1;                   // the media and the position at pace x real time
};

struct RtspSettings {
  bool enabled = false;
  std::vector<std::string> addresses{"172.26.24.10:554", "127.0.0.1:554"};
  int sessionTimeout = 60;                // announced in "Session: <id>;timeout=<s>"
  int sessionTimeoutSeconds = -1;         // >= 0: the session expires after N s without a request
  std::string noticeHeader = "x-notice";  // or "Notice"
  int defaultDuration = 3600;             // of a path no asset names
  std::vector<RtspAsset> assets;
  std::map<std::string, RtspSwitches> switches;  // method -> faults
};

struct DnsRecordSetting {
  std::string name;
  std::string a;      // dotted IPv4
  std::string cname;  // or an alias
};

struct DnsSettings {
  bool enabled = false;
  std::string address = "172.26.23.3:53";
  std::vector<DnsRecordSetting> records;
  bool noAnswer = false;
  bool truncated = false;
  bool pointerLoop = false;
  bool off = false;  // no socket: another server (dnsmasq) answers there
  int times = 0;
};

}  // namespace headend
