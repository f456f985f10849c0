#include "DnsAnswers.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <map>

namespace headend {

namespace {

constexpr size_t kHeader = 12;
constexpr uint16_t kTypeA = 1;
constexpr uint16_t kTypeCname = 5;
constexpr int kMaxChain = 8;

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v & 0xFF));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v >> 16));
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::vector<std::string> Labels(const std::string& name) {
  std::vector<std::string> labels;
  size_t from = 0;
  while (from < name.size()) {
    size_t dot = name.find('.', from);
    if (dot == std::string::npos) dot = name.size();
    labels.push_back(name.substr(from, dot - from));
    from = dot + 1;
  }
  return labels;
}

// Writes names with pointers to any suffix already in the message.
class NameWriter {
 public:
  explicit NameWriter(std::vector<uint8_t>& out) : out_(out) {}
  // A name written uncompressed at offset, and each of its suffixes.
  void Known(const std::string& name, size_t offset) {
    const std::vector<std::string> labels = Labels(name);
    for (size_t i = 0; i < labels.size(); ++i) {
      std::string suffix;
      for (size_t k = i; k < labels.size(); ++k) suffix += (k > i ? "." : "") + labels[k];
      offsets_.emplace(Lower(suffix), offset);
      offset += 1 + labels[i].size();
    }
  }
  void Write(const std::string& name) {
    const std::vector<std::string> labels = Labels(name);
    for (size_t i = 0; i < labels.size(); ++i) {
      std::string suffix;
      for (size_t k = i; k < labels.size(); ++k) suffix += (k > i ? "." : "") + labels[k];
      auto known = offsets_.find(Lower(suffix));
      if (known != offsets_.end()) {
        Put16(out_, static_cast<uint16_t>(0xC000 | known->second));
        return;
      }
      if (out_.size() < 0x3FFF) offsets_[Lower(suffix)] = out_.size();
      out_.push_back(static_cast<uint8_t>(labels[i].size()));
      out_.insert(out_.end(), labels[i].begin(), labels[i].end());
    }
    out_.push_back(0);
  }

 private:
  std::vector<uint8_t>& out_;
  std::map<std::string, size_t> offsets_;
};

const DnsRecordSetting* Find(const std::vector<DnsRecordSetting>& records,
                             const std::string& name) {
  for (const auto& r : records)
    if (Lower(r.name) == name) return &r;
  return nullptr;
}

}  // namespace

bool ParseDnsQuestion(const uint8_t* m, size_t length, DnsQuestion* out) {
  if (length < kHeader + 5) return false;
  if ((m[2] & 0x80) != 0 || ((m[4] << 8) | m[5]) != 1) return false;
  out->id = static_cast<uint16_t>((m[0] << 8) | m[1]);
  size_t at = kHeader;
  std::string name;
  while (at < length && m[at] != 0) {
    const size_t n = m[at];
    if (n > 63 || at + 1 + n >= length) return false;  // no pointers in a question
    if (!name.empty()) name += '.';
    name.append(reinterpret_cast<const char*>(m + at + 1), n);
    at += 1 + n;
  }
  if (at + 5 > length) return false;
  out->name = Lower(name);
  out->type = static_cast<uint16_t>((m[at + 1] << 8) | m[at + 2]);
  out->qclass = static_cast<uint16_t>((m[at + 3] << 8) | m[at + 4]);
  out->end = at + 5;
  return true;
}

std::vector<uint8_t> BuildDnsReply(const std::vector<uint8_t>& query, const DnsQuestion& q,
                                   const std::vector<DnsRecordSetting>& records, DnsFault fault,
                                   std::string* summary) {
  std::vector<uint8_t> out(query.begin(), query.begin() + static_cast<long>(q.end));
  NameWriter names(out);
  names.Known(q.name, kHeader);
  uint16_t answers = 0;
  std::string current = q.name;
  summary->clear();
  size_t lastRecord = out.size();
  for (int step = 0; step < kMaxChain; ++step) {
    const DnsRecordSetting* r = Find(records, current);
    if (r == nullptr) break;
    lastRecord = out.size();
    if (fault == DnsFault::PointerLoop && answers == 0) {
      // The owner name is a pointer to itself.
      Put16(out, static_cast<uint16_t>(0xC000 | out.size()));
    } else {
      names.Write(current);
    }
    const bool alias = !r->cname.empty();
    Put16(out, alias ? kTypeCname : kTypeA);
    Put16(out, 1);
    Put32(out, 300);
    ++answers;
    if (!alias) {
      Put16(out, 4);
      in_addr a{};
      inet_pton(AF_INET, r->a.c_str(), &a);
      const auto* bytes = reinterpret_cast<const uint8_t*>(&a.s_addr);
      out.insert(out.end(), bytes, bytes + 4);
      *summary += "A " + r->a;
      break;
    }
    const size_t lengthAt = out.size();
    Put16(out, 0);
    names.Write(r->cname);
    const size_t rdata = out.size() - lengthAt - 2;
    out[lengthAt] = static_cast<uint8_t>(rdata >> 8);
    out[lengthAt + 1] = static_cast<uint8_t>(rdata & 0xFF);
    *summary += "CNAME " + r->cname + ", ";
    current = Lower(r->cname);
  }
  out[2] = static_cast<uint8_t>(0x84 | (query[2] & 0x79));  // QR, AA, opcode and RD as asked
  out[3] = 0x80;                                            // RA
  if (answers == 0) {
    out[3] |= 3;  // NXDOMAIN
    *summary = "NXDOMAIN";
  }
  out[6] = 0;
  out[7] = static_cast<uint8_t>(answers);
  out[8] = out[9] = out[10] = out[11] = 0;
  if (fault == DnsFault::Truncated && answers > 0) {
    out[2] |= 0x02;  // TC, and the last record cut in its fixed part
    out.resize(std::min(out.size(), lastRecord + 6));
    *summary += " (truncated)";
  }
  if (fault == DnsFault::PointerLoop) *summary += " (pointer loop)";
  return out;
}

}  // namespace headend
