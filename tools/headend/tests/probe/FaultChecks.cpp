#include "FaultChecks.h"

#include <rapidjson/document.h>

#include <atomic>
#include <map>
#include <thread>

namespace probe {

FaultChecks::FaultChecks(Checks& checks, ServerChecks& server, DiscoveryChecks& discovery)
    : c_(checks),
      server_(server),
      discovery_(discovery),
      started_(std::chrono::steady_clock::now()) {}

void FaultChecks::ProfileFaults() {
  HttpResult client = server_.Get(ServerChecks::kClientProfile);
  c_.Expect(client.status == 200, "client profile answered");
  c_.Expect(!client.HasHeader("content-length"), "no Content-Length (omitContentLength)");
  c_.Expect(!client.headInFirstRead, "the head came in two pieces (splitHead)");
  rapidjson::Document doc;
  doc.Parse(client.body.c_str());
  bool parsed = !doc.HasParseError() && doc.IsObject() && doc.HasMember("resultData");
  if (c_.Expect(parsed, "the body is still whole JSON: " + client.body)) {
    const auto& data = doc["resultData"];
    c_.Expect(!data.HasMember("hdtv"), "hdtv removed (missingMembers)");
    c_.Expect(data.HasMember("demarcation") && data["demarcation"].IsString() &&
                  std::string(data["demarcation"].GetString()) == "19",
              "demarcation sent as the string \"19\" (stringMembers)");
  }
  HttpResult first = server_.Get(ServerChecks::kPlatformProfile);
  c_.Expect(first.status == 500 && first.elapsedMs >= 300,
            "first platform profile: 500 after 300 ms, got " + std::to_string(first.status) +
                " after " + std::to_string(first.elapsedMs) + " ms");
  HttpResult second = server_.Get(ServerChecks::kPlatformProfile);
  c_.Expect(second.status == 200 && second.body.find("\"dvbEntryPoint\"") != std::string::npos &&
                second.elapsedMs < 300,
            "second platform profile: answered at once (times 1)");
  const std::string logo = std::string(ServerChecks::kLogos) + "MAY_1/imSer/100.jpg";
  HttpResult closed = server_.Get(logo);
  c_.Expect(closed.connected && !closed.answered, "first logo: closed without answer");
  server_.WellFramed(server_.Get(logo), "second logo");
}

void FaultChecks::SequentialBrokenGroup() {
  // Runs early: this group falls silent 4 s after the start.
  StpReceiver rx;
  discovery_.ReceiveAll(&rx, "239.0.2.131", 3937, {0x02, 0x05}, 2500);
  int changes = 0;
  const auto& s = rx.Sections();
  std::map<int, int> counts;  // sections per payload
  for (size_t i = 0; i < s.size(); ++i) {
    counts[s[i].payloadId] = s[i].lastSectionNumber + 1;
    changes += i > 0 && s[i].payloadId != s[i - 1].payloadId;
  }
  size_t cycle = 0;
  for (const auto& n : counts) cycle += static_cast<size_t>(n.second);
  int cycles = cycle == 0 ? 0 : static_cast<int>(s.size() / cycle) + 1;
  c_.Expect(changes <= 2 * cycles, "sequential order: " + std::to_string(changes) +
                                       " payload changes in " + std::to_string(s.size()) +
                                       " sections");
  bool guide = false;
  for (const auto& section : s) guide = guide || section.payloadId == 0x06;
  c_.Expect(!guide, "payload 06 omitted (omitPayloads)");
  if (rx.Complete().count(0x02))
    c_.Expect(!WellFormedXml::Parse(rx.Complete().at(0x02).body).Ok(),
              "payload 02 is cut short (brokenRecords truncate)");
  if (rx.Complete().count(0x05)) {
    WellFormedXml packages = WellFormedXml::Parse(rx.Complete().at(0x05).body);
    pugi::xml_node record = FirstElement(packages.Root());
    c_.Expect(packages.Ok() && record && !record.attribute("Version"),
              "payload 05 has no Version (brokenRecords noVersion)");
  }
}

void FaultChecks::EntryPointWithCrc() {
  StpReceiver rx;
  if (!discovery_.ReceiveAll(&rx, "239.0.2.129", 3937, {0x01}, 5000)) return;
  bool flagged = true;
  for (const auto& s : rx.Sections()) {
    bool last = s.sectionNumber == s.lastSectionNumber;
    flagged = flagged && s.byte0 == (last ? 0x01 : 0x00) && s.providerIdFlag &&
              s.serviceProviderId == 4660;
  }
  c_.Expect(flagged,
            "entry point: byte 0 is 0x01 on the last section of the segment, 0x00 on the "
            "others; provider id 4660");
  c_.Expect(rx.CrcMatches() > 0, "entry point: the segment matches the CRC of its last section");
  WellFormedXml tree = discovery_.Record(rx.Complete().at(0x01), "ServiceProviderDiscovery");
  if (!tree.Ok()) return;
  std::vector<std::string> providers;
  for (pugi::xml_node p : FirstElement(tree.Root()).children("ServiceProvider"))
    providers.push_back(p.attribute("DomainName").value());
  c_.Expect(providers.size() == 6 && providers[0] == "DEM_19.otro.es" &&
                providers[1] == "DEM_19.quorvina.es",
            "the decoy provider comes first, then the demarcations");
}

void FaultChecks::ShuffledRepeatedBumpedGroup() {
  StpReceiver rx;
  if (!discovery_.ReceiveAll(&rx, "239.0.2.130", 3937, {0x02, 0x05, 0x06}, 10000)) return;
  const auto& s = rx.Sections();
  bool byte0 = true;
  int pairs = 0, descents = 0, last02 = -1;
  for (size_t i = 0; i < s.size(); ++i) {
    bool last = s[i].sectionNumber == s[i].lastSectionNumber;
    byte0 = byte0 && s[i].byte0 == (last ? 0x41 : 0x40) && s[i].version == 1;
    if (i > 0 && s[i].body == s[i - 1].body && s[i].sectionNumber == s[i - 1].sectionNumber) {
      ++pairs;
      continue;
    }
    if (s[i].payloadId == 0x02) {
      descents += s[i].sectionNumber < last02;
      last02 = s[i].sectionNumber;
    }
  }
  c_.Expect(byte0, "regional: byte 0 is 0x41 (version 1, CRC) on last sections, 0x40 on others");
  c_.Expect(rx.CrcMatches() > 0, "regional: segments match their CRC");
  c_.Expect(
      pairs * 2 + 2 >= static_cast<int>(s.size()),
      "each datagram twice: " + std::to_string(pairs) + " pairs in " + std::to_string(s.size()));
  c_.Expect(descents >= 5, "shuffled: " + std::to_string(descents) + " descents");
  int before = rx.Complete().at(0x02).segmentVersion;
  discovery_.Record(rx.Complete().at(0x02), "BroadcastDiscovery");
  bool bumped = rx.Receive(8000, [&] { return rx.Complete().at(0x02).segmentVersion != before; });
  if (c_.Expect(bumped, "the version of 02 changes within 8 s")) {
    int after = rx.Complete().at(0x02).segmentVersion;
    c_.Expect(after == (before + 1) % 256 || after == (before + 2) % 256,
              "bumped from " + std::to_string(before) + " to " + std::to_string(after));
    discovery_.Record(rx.Complete().at(0x02), "BroadcastDiscovery");
  }
}

void FaultChecks::DamagedFirstCopy() {
  // Runs first: the group starts 1 s after the headend, so this receiver sees
  // its first cycle.
  StpReceiver rx;
  std::string error;
  if (!c_.Expect(rx.Join("239.0.2.134", 3937, &error), "join " + error)) return;
  rx.Receive(3000, [&] { return rx.Datagrams() > 0; });
  auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started_);
  c_.Expect(quiet.count() >= 500, "startAfterMs: the first datagram " +
                                      std::to_string(quiet.count()) + " ms after start");
  bool all = rx.Receive(5000, [&] {
    return rx.Complete().count(0x02) && rx.Complete().count(0x05) && rx.Complete().count(0x06);
  });
  c_.Expect(all && rx.CrcFailures() == 1,
            "one segment fails its CRC, then every payload completes: " +
                std::to_string(rx.CrcFailures()) + " failures");
  rx.ReceiveFor(700);  // two more cycles, intact
  std::vector<std::string> copies;
  for (const auto& s : rx.Sections())
    if (s.payloadId == 0x05 && s.sectionNumber == 1) copies.push_back(s.body);
  int flipped = -1;  // differing bits between the first and the second copy
  if (copies.size() >= 2 && copies[0].size() == copies[1].size()) {
    flipped = 0;
    for (size_t i = 0; i < copies[0].size(); ++i)
      flipped += __builtin_popcount(static_cast<uint8_t>(copies[0][i] ^ copies[1][i]));
  }
  bool laterIntact = copies.size() >= 3 && rx.CrcFailures() == 1 && rx.Problems().empty();
  for (size_t i = 2; i < copies.size(); ++i) laterIntact = laterIntact && copies[i] == copies[1];
  c_.Expect(flipped == 1 && laterIntact,
            "payload 05 section 1: one bit flipped in the first copy only (" +
                std::to_string(copies.size()) + " copies)");
  if (rx.Complete().count(0x05)) discovery_.Record(rx.Complete().at(0x05), "PackageDiscovery");
}

void FaultChecks::PerSectionCrcGroup() {
  StpReceiver rx;
  std::string error;
  if (!c_.Expect(rx.Join("239.0.2.133", 3937, &error), "join " + error)) return;
  rx.ReceiveFor(1000);
  bool each = !rx.Sections().empty();
  for (const auto& s : rx.Sections()) each = each && s.crcFlag && s.crcOfSection;
  c_.Expect(each, "per-section CRC: every section ends with the CRC of its own header and body");
  c_.Expect(rx.Complete().empty() && rx.CrcFailures() > 0 && rx.CrcMatches() == 0,
            "per-section CRC: no segment matches the CRC of its last section");
}

void FaultChecks::SilentGroups() {
  StpReceiver silent;
  StpReceiver fallen;
  std::string error;
  if (!c_.Expect(silent.Join("239.0.2.132", 3937, &error), "join " + error)) return;
  c_.Expect(silent.ReceiveFor(2500) == 0, "a silent group sends nothing");
  // The other group falls silent 4 s after the start.
  std::this_thread::sleep_until(started_ + std::chrono::seconds(5));
  if (!c_.Expect(fallen.Join("239.0.2.131", 3937, &error), "join " + error)) return;
  c_.Expect(fallen.ReceiveFor(1500) == 0, "a group fallen silent sends nothing more");
}

void FaultChecks::HttpFaults() {
  HttpResult held = server_.Get(ServerChecks::kClientProfile, "", 1500);
  c_.Expect(held.connected && !held.answered && held.elapsedMs >= 1400,
            "client profile held without answer until the client gave up");
  HttpResult platform = server_.Get(ServerChecks::kPlatformProfile);
  rapidjson::Document doc;
  doc.Parse(platform.body.c_str());
  c_.Expect(server_.WellFramed(platform, "malformed platform profile") && doc.HasParseError(),
            "platform profile body is not JSON: " + platform.body);
  HttpResult empty = server_.Get(std::string(ServerChecks::kLogos) + "MAY_1/imSer/100.jpg");
  c_.Expect(empty.status == 200 && empty.Header("content-length") == "0" && empty.body.empty(),
            "logo with an empty body");
  HttpResult missing = server_.Get(std::string(ServerChecks::kLogos) + "MAY_1/imSer/101.jpg");
  c_.Expect(missing.status == 404, "a logo the scenario removes: 404");

  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // held sockets close
  std::atomic<int> refused{0}, unanswered{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < 6; ++i)
    clients.emplace_back([&] {
      HttpResult r = server_.Get(ServerChecks::kClientProfile, "", 1500);
      refused += r.status == 503;
      unanswered += r.connected && !r.answered;
    });
  for (auto& t : clients) t.join();
  c_.Expect(refused == 2 && unanswered == 4,
            "with 4 clients at most: " + std::to_string(unanswered) + " held, " +
                std::to_string(refused) + " refused with 503");
}

void FaultChecks::StopWhileHeld(HeadendProcess* headend) {
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  HttpResult held;
  std::thread client([&] { held = server_.Get(ServerChecks::kClientProfile, "", 5000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  long took = 0;
  int code = -1;
  c_.Expect(headend->Terminate(1000, &took, &code) && code == 0,
            "stops within 1 s with a held connection: " + std::to_string(took) + " ms, exit " +
                std::to_string(code));
  client.join();
  c_.Expect(!held.answered && held.elapsedMs < 2000, "the held connection is closed at shutdown");
}

}  // namespace probe
