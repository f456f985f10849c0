#pragma once

#include <rapidjson/document.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "GuideTypes.h"
#include "TvSettings.h"
#include "VodSettings.h"

// The records a scenario file describes, after defaults are applied.
namespace headend {

struct GroupAddress {
  std::string address;  // dotted IPv4 multicast group
  uint16_t port = 0;
  std::string Text() const { return address + ":" + std::to_string(port); }
};

// Where the CRC-32 goes. A segment carries one, after the body of its last
// section, computed over the whole segment; one per section over its own
// header and body is a fault kept for testing receivers.
enum class CrcPlacement { None, Segment, PerSection };

// A section whose first transmission has one body byte damaged (its lowest
// bit flipped); every later copy is sent intact.
struct FirstCopyFault {
  int payloadId = 0;
  int segmentId = 0;
  int section = 0;
  int offset = 0;  // byte of the section body
};

// How one DVB-STP carousel sends: pace, layout of its sections, and faults.
struct CarouselSettings {
  GroupAddress group;
  int64_t bitrate = 2000000;          // bit/s of datagrams within a cycle
  int cyclePeriodMs = 1000;           // a cycle starts at most this often; 0 = back to back
  int maxSectionBody = 1400;          // body bytes per section
  int minSections = 3;                // split even small segments, see the README
  std::string order = "interleaved";  // or "sequential"
  CrcPlacement crc = CrcPlacement::None;
  int headerByte0 = -1;            // 0..255 overrides the first header byte, see the README
  int64_t serviceProviderId = -1;  // >= 0 sets the provider-id flag and the id
  int repeatSections = 1;          // copies of each datagram sent back to back
  std::string reorder = "none";    // "reverse" or "shuffle" within each cycle
  uint32_t seed = 1;               // of the shuffle
  int bumpVersionEverySeconds = 0;
  bool silent = false;
  int silentAfterSeconds = -1;
  int startAfterMs = 0;                      // nothing is sent before, so receivers can join first
  std::vector<int> omitPayloads;             // payload ids not carried
  std::map<int, std::string> brokenRecords;  // payload id -> "truncate" | "noVersion"
  std::vector<FirstCopyFault> corruptFirstCopy;
};

struct Service {
  std::string id;  // ServiceName: numeric text, the channel id
  std::string name, shortName, description, genre;
  int type = 1;  // DVB service type: 1 SD, 25 HD (advanced codec)
  GroupAddress location;
  std::string logo;         // LogoURI; empty: the record carries none
  std::string replacement;  // ServiceName of the ReplacementService; empty: none
  std::string parental;     // parental rating name; empty: no ParentalGuidance
  int lcn = 0;
  std::map<std::string, int> lcnByPackage;  // overrides lcn in one package
  std::vector<std::string> packages;
  std::vector<int> demarcations;  // empty: every demarcation

  // The logo name a client asks the application server for.
  std::string LogoName() const { return logo.empty() ? "MAY_1/imSer/" + id + ".jpg" : logo; }
  int LcnIn(const std::string& package) const {
    auto it = lcnByPackage.find(package);
    return it == lcnByPackage.end() ? lcn : it->second;
  }
};

struct Package {
  std::string name;  // the code a subscriber's tvPackages lists
  std::string description;
};

// The programme guide: one DVB-STP group per day, from yesterday on, each
// carrying payload 0xF1 with one segment per channel that has a guide.
struct GuideSettings {
  int days = 0;        // 0: no guide
  GroupAddress first;  // day i is sent on this address + i
  CarouselSettings carousel;
  std::vector<std::string> services;  // empty: every service that is not an HD twin
  std::vector<GuideChange> changes;
  std::vector<ShortProgramme> shortProgrammes;
};

struct Demarcation {
  int code = 0;
  std::string name;
  CarouselSettings carousel;
  std::map<int, int> versions;  // payload id -> initial record version
};

struct ExtraProvider {
  std::string domainName;
  GroupAddress group;
};

// Faults of the application server for one kind of request.
struct HttpSwitches {
  int delayMs = 0;
  int status = 200;
  bool emptyBody = false;
  bool malformedJson = false;
  std::vector<std::string> missingMembers;  // paths under resultData, "a.b"
  std::vector<std::string> stringMembers;   // numbers sent as strings
  std::string noAnswer;                     // "", "hold" or "close"
  int holdMs = 30000;
  bool omitContentLength = false;
  bool splitHead = false;
  int splitDelayMs = 100;
  int times = 0;  // > 0: only the first N requests of the kind are affected
  // The recording API's answers.
  bool forceCode = false;  // answer resultCode instead of acting
  int resultCode = 0;
  std::vector<std::string> nullMembers;  // paths under resultData ("result[].name")
  std::vector<std::string> wrongTypes;   // paths whose value changes type
  bool duplicateIds = false;             // every list entry sent twice
};

// One recording of the operator's cloud. Times are seconds from the start of
// the headend, so its state follows the clock: pending, recording, finished.
struct CloudRecording {
  uint32_t id = 0;
  std::string service;  // a service id of the line-up
  std::string name;
  bool hasSeries = false;  // "seriesName" sent, as text or as null
  bool seriesNull = false;
  std::string seriesName;
  std::string season;  // sent as text when not empty
  int episode = -1;    // sent when >= 0
  int hd = 0;
  int64_t begin = 0, end = 0;
  int64_t bookmark = 0;
  std::string productType = "2";
  int goneAfterSeconds = -1;  // >= 0: gone from the server from then on
  // Its video, unless an rtsp asset names "/cloud/<id>": a clip this long
  // sent at `pace` times real time.
  int mediaSeconds = 20;
  int pace = 4;
};

struct CloudSettings {
  std::vector<CloudRecording> recordings;  // the families' entries included
  std::vector<uint32_t> missingImages;     // programme images answered 404
  // Series whose episodes on the guide's day 0 (yesterday) are finished
  // recordings, under the guide's programme ids.
  std::vector<std::string> guideSeries;
  std::string rtspBase = "rtsp://172.26.23.3:554/";
};

struct AppServerSettings {
  GroupAddress listen{"172.26.22.23", 2001};
  int maxClients = 32;
  int readTimeoutMs = 5000;
  std::map<std::string, HttpSwitches> switches;  // kind -> switches
  std::vector<std::string> missingLogos;
};

struct Scenario {
  std::string domainSuffix = ".quorvina.es";
  std::string providerName = "Quorvina TV";
  bool indentedXml = true;

  // Profile answers. The documents are whole resultData objects.
  std::shared_ptr<rapidjson::Document> clientProfile;
  std::shared_ptr<rapidjson::Document> platformProfile;
  int subscriberDemarcation = 0;

  AppServerSettings appServer;
  CarouselSettings entryPoint;
  int entryPointVersion = 1;
  std::vector<ExtraProvider> extraProviders;
  std::vector<Demarcation> demarcations;
  std::vector<Package> packages;
  std::vector<Service> services;
  GuideSettings guide;
  TvSettings tv;
  CloudSettings cloud;
  RtspSettings rtsp;
  DnsSettings dns;

  std::vector<const Service*> ServicesOf(int demarcation) const {
    std::vector<const Service*> out;
    for (const auto& s : services) {
      bool here = s.demarcations.empty();
      for (int d : s.demarcations) here = here || d == demarcation;
      if (here) out.push_back(&s);
    }
    return out;
  }
};

}  // namespace headend
