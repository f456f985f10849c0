#include "GuideDocuments.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <ctime>

#include "XmlWriter.h"

namespace headend {

namespace {

std::string UtcText(time_t t) {
  struct tm parts {};
  gmtime_r(&t, &parts);
  char text[32];
  std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%S.000Z", &parts);
  return text;
}

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

void Text(Writer& w, const char* name, const std::string& value) {
  if (value.empty()) return;
  w.Key(name);
  w.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
}

void List(Writer& w, const char* name, const std::vector<std::string>& values) {
  if (values.empty()) return;
  w.Key(name);
  w.StartArray();
  for (const auto& v : values) w.String(v.c_str(), static_cast<rapidjson::SizeType>(v.size()));
  w.EndArray();
}

}  // namespace

std::string GuideDocuments::Duration(int minutes) {
  std::string text = "PT";
  if (minutes >= 60) text += std::to_string(minutes / 60) + "H";
  if (minutes % 60 != 0 || minutes == 0) text += std::to_string(minutes % 60) + "M";
  return text;
}

std::string GuideDocuments::DurationSeconds(int seconds) {
  if (seconds % 60 == 0) return Duration(seconds / 60);
  std::string text = Duration(seconds / 60);
  if (seconds < 60) text = "PT";  // no "0M"
  return text + std::to_string(seconds % 60) + "S";
}

std::string GuideDocuments::Schedule(const Service& service,
                                     const std::vector<Programme>& programmes,
                                     const std::string& domain, bool indented) {
  XmlWriter xml(indented);
  xml.Open("TVAMain", {{"xmlns", "urn:tva:metadata:2005"},
                       {"xmlns:mpeg7", "urn:tva:mpeg7:2005"},
                       {"xml:lang", "spa"}});
  xml.Open("ProgramDescription");
  xml.Open("ProgramLocationTable");
  XmlWriter::Attributes schedule = {{"serviceIDRef", service.id + "." + domain}};
  if (!programmes.empty()) {
    time_t end = 0;
    for (const Programme& p : programmes) end = std::max(end, p.start + p.Length());
    schedule.emplace_back("start", UtcText(programmes.front().start));
    schedule.emplace_back("end", UtcText(end));
  }
  xml.Open("Schedule", schedule);
  for (const Programme& p : programmes) {
    xml.Open("ScheduleEvent");
    xml.Empty("Program", {{"crid", "crid://" + domain + "/" + std::to_string(p.id)}});
    xml.Open("InstanceDescription");
    xml.Leaf("Title", {}, p.title);
    xml.Open("Genre", {{"href", "urn:quorvina:metadata:cs:GenreCS:2010"}});
    xml.Leaf("Name", {}, p.genre);
    xml.Close();
    xml.Open("ParentalGuidance");
    xml.Open("mpeg7:ParentalRating", {{"href", "urn:dvb:iptv:rating:2014"}});
    xml.Leaf("mpeg7:Name", {}, p.rating);
    xml.Close();
    xml.Close();
    if (p.year != 0 || p.season != 0) {
      xml.Open("ReleaseInformation");
      xml.Open("ReleaseDate");
      if (p.season != 0) xml.Leaf("Season", {}, std::to_string(p.season));
      if (p.episode != 0) xml.Leaf("Episode", {}, std::to_string(p.episode));
      if (p.year != 0) xml.Leaf("Year", {}, std::to_string(p.year));
      xml.Close();
      xml.Close();
    }
    xml.Close();
    xml.Leaf("EventStartTime", {}, UtcText(p.start));
    xml.Leaf("EventDuration", {}, DurationSeconds(p.Length()));
    if (!p.seriesCrid.empty()) {
      xml.Open("EpisodeOf", {{"crid", p.seriesCrid}});
      xml.Leaf("Title", {}, p.seriesTitle);
      xml.Close();
    }
    xml.Close();
  }
  return xml.Finish();
}

std::string GuideDocuments::DetailsReply(const Programme* p, uint32_t id) {
  rapidjson::StringBuffer buffer;
  Writer w(buffer);
  w.StartObject();
  w.Key("resultCode");
  // The server sends the code as a number or as text.
  const bool asText = id % 2 == 1;
  if (p == nullptr) {
    if (asText) {
      w.String("1");
    } else {
      w.Int(1);
    }
    w.Key("resultText");
    w.String("Programa no encontrado");
    w.EndObject();
    return buffer.GetString();
  }
  if (asText) {
    w.String("0");
  } else {
    w.Int(0);
  }
  w.Key("resultText");
  w.String("OK");
  w.Key("resultData");
  w.StartObject();
  Text(w, "title", p->title);
  Text(w, "originalTitle", p->originalTitle);
  if (p->year != 0) {
    w.Key("productionDate");
    if (asText) {
      w.String(std::to_string(p->year).c_str());
    } else {
      w.Int(p->year);
    }
  }
  if (!p->countries.empty()) List(w, "countries", {p->countries});
  Text(w, "genre", p->genre);
  Text(w, "subgenre", p->subgenre);
  List(w, "directors", p->directors);
  List(w, "mainActors", p->actors);
  Text(w, "scriptwriter", p->scriptwriter);
  Text(w, "producer", p->producer);
  Text(w, "description", p->description);
  w.EndObject();
  w.EndObject();
  return buffer.GetString();
}

}  // namespace headend
