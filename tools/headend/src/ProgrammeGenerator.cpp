#include "ProgrammeGenerator.h"

#include <algorithm>
#include <cstdlib>

namespace headend {

namespace {

// A small deterministic generator (splitmix64).
class Dice {
 public:
  explicit Dice(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  template <size_t N>
  const char* Pick(const char* const (&items)[N]) {
    return items[Below(static_cast<int>(N))];
  }

 private:
  uint64_t state_;
};

enum class Kind { Film, Series, Kids, News, Sport, Documentary, Music, Quiz, Magazine, Shopping };

struct Series {
  const char* title;
  int crid;
  const char* subgenre;
};

const char* const kFilms[] = {
    "El último verano",   "Lejos de Madrid",         "La casa del acantilado",
    "Noche en Sevilla",   "El secreto de los Andes", "Tres días en Lisboa",
    "La herencia",        "Hasta el amanecer",       "El faro",
    "Corazones de acero", "La sombra del ciprés",    "Camino a Santiago",
    "Operación Estrecho"};
const char* const kOriginal[] = {"The Last Summer", "Far From Home",    "Cliff House",
                                 "Seville Night",   "The Andes Secret", "Until Dawn",
                                 "The Lighthouse"};
const char* const kSubgenres[] = {"Comedia", "Drama", "Acción", "Terror", "Aventuras", "Romántica"};
const char* const kDirectors[] = {"Lucía Herrera", "Pablo Ortega", "Marta Salas", "Javier Ruiz",
                                  "Ana Beltrán"};
const char* const kActors[] = {"Carmen Vidal", "Luis Montero",  "Elena Soler", "Andrés Castro",
                               "Rosa Medina",  "Diego Navarro", "Inés Prieto", "Tomás Gil"};
const char* const kCountries[] = {"España", "Francia",   "Italia",
                                  "México", "Argentina", "Estados Unidos"};
const Series kSeries[] = {
    {"Hospital Central Norte", 1, "Drama"},    {"Los Serrano de Valdemoro", 2, "Comedia"},
    {"El Ministerio", 3, "Ciencia ficción"},   {"Policías de barrio", 4, "Policíaca"},
    {"Amar en tiempos revueltos", 5, "Drama"}, {"Cuéntame otra vez", 6, "Drama"}};
const Series kKids[] = {{"Pocoyó y sus amigos", 7, "Animación"},
                        {"Los Lunnis", 8, "Animación"},
                        {"Dibus del Sur", 9, "Animación"}};
const char* const kNews[] = {"Telediario", "Noticias 24 horas", "Informe semanal", "El tiempo"};
const char* const kSport[] = {"Estudio Estadio", "Liga: jornada en directo",
                              "Tenis: Masters de Madrid", "Gran Premio de Motociclismo"};
const char* const kDocs[] = {"España salvaje", "Grandes civilizaciones", "Cocina fácil",
                             "Viajes al fin del mundo", "La ciencia de cada día"};
const char* const kMusic[] = {"Los 40 principales", "Conciertos de Radio 3", "Flamenco vivo",
                              "Clásicos a medianoche"};
const char* const kQuiz[] = {"Pasapalabra", "Saber y ganar", "La ruleta"};
const char* const kRatings[] = {"Suitable for all audiences",   "Not recommended for under 7",
                                "Not recommended for under 12", "Not recommended for under 16",
                                "Not recommended for under 18", "No rating available"};

// What a channel of each genre shows, most likely first.
std::vector<Kind> KindsOf(const std::string& genre) {
  if (genre == "Cine") return {Kind::Film, Kind::Film, Kind::Film, Kind::Series};
  if (genre == "Series") return {Kind::Series, Kind::Series, Kind::Series, Kind::Film};
  if (genre == "Noticias") return {Kind::News, Kind::News, Kind::Documentary, Kind::Magazine};
  if (genre == "Deportes") return {Kind::Sport, Kind::Sport, Kind::News};
  if (genre == "Infantil") return {Kind::Kids, Kind::Kids, Kind::Kids, Kind::Film};
  if (genre == "Documentales") return {Kind::Documentary, Kind::Documentary, Kind::Shopping};
  if (genre == "Música") return {Kind::Music, Kind::Music, Kind::Music};
  return {Kind::News,   Kind::Series,   Kind::Film,     Kind::Quiz,
          Kind::Series, Kind::Magazine, Kind::Shopping, Kind::Sport};
}

std::string Rating(const std::string& parental) {
  if (parental == "TP") return kRatings[0];
  if (parental.empty()) return kRatings[5];
  return "Not recommended for under " + parental;
}

// Series placed at fixed times of the week, so that tests of series rules
// know what airs when: seasons 1-3, a series always on air, an episode
// repeated on another channel (and shown on the HD twin), three series at
// once, a title with accents, ":" and "&", one whose images are missing,
// and one that aired only yesterday.
struct Placement {
  const char* service;
  const char* title;
  int crid;
  int minutes;          // length
  std::vector<int> at;  // minutes after midnight UTC
  int onlyDay;          // -1: every day of the week; else that day only
  bool repeatPrevious;  // airs the episode of the day before (from day 1)
};

const Placement kPlacements[] = {
    {"1043", "Doctora Vega", 21, 50, {8 * 60, 13 * 60, 19 * 60}, -1, false},
    {"1012", "Vidas cruzadas", 22, 60, {}, -1, false},  // every hour
    {"1001", "El Pueblo", 23, 45, {21 * 60}, -1, false},
    {"1005", "El Pueblo", 23, 45, {15 * 60}, -1, true},
    {"1006", "Faro del Norte", 24, 60, {22 * 60}, -1, false},
    {"1007", "Gran Hotel Miramar", 25, 60, {22 * 60}, -1, false},
    {"1008", "Jardines de invierno", 26, 60, {22 * 60}, -1, false},
    {"1009", "Pérez & Hijos: Año Uno", 27, 45, {17 * 60}, -1, false},
    {"1010", "Náufragos", 28, 45, {11 * 60}, -1, false},
    {"1011", "Última llamada", 29, 60, {21 * 60 + 30}, 0, false},
};
const char* const kEpisodeNames[] = {"La guardia", "El regreso", "Sin salida", "Nuevos vecinos",
                                     "La boda",    "Tormenta",   "El secreto", "Despedida"};

Programme Placed(const Placement& placement, size_t index, int weekDay, int occurrence) {
  Programme p;
  p.id = ProgrammeGenerator::PlacedId(static_cast<int>(index), weekDay, occurrence);
  p.minutes = placement.minutes;
  p.seriesTitle = placement.title;
  p.seriesCrid = "crid://quorvina.es/serie/" + std::to_string(placement.crid);
  const int perDay = placement.at.empty() ? 24 : static_cast<int>(placement.at.size());
  const int k = (placement.repeatPrevious ? weekDay - 1 : weekDay) * perDay + occurrence;
  if (placement.crid == 21) {  // three seasons in turn
    p.season = 1 + k % 3;
    p.episode = 1 + k / 3;
  } else {
    p.season = 1;
    p.episode = 1 + k;
  }
  p.year = 2020;
  p.title = std::string(placement.title) + " T" + std::to_string(p.season) + " Cap. " +
            std::to_string(p.episode) + " - " + kEpisodeNames[k % 8];
  p.genre = "Series";
  p.subgenre = "Drama";
  p.directors = {kDirectors[placement.crid % 5]};
  p.actors = {kActors[placement.crid % 8], kActors[(placement.crid + 3) % 8]};
  p.description = "Temporada " + std::to_string(p.season) + ", episodio " +
                  std::to_string(p.episode) + ".\\n" + kEpisodeNames[k % 8] + ".";
  return p;
}

// The placed programmes of a channel's day, in start order.
std::vector<Programme> PlacedOn(const Service& service, long day, int weekDay) {
  std::vector<Programme> out;
  if (weekDay < 0) return out;
  for (size_t i = 0; i < sizeof(kPlacements) / sizeof(kPlacements[0]); ++i) {
    const Placement& placement = kPlacements[i];
    if (service.id != placement.service) continue;
    if (placement.onlyDay >= 0 && placement.onlyDay != weekDay) continue;
    if (placement.repeatPrevious && weekDay < 1) continue;
    std::vector<int> at = placement.at;
    if (at.empty())
      for (int h = 0; h < 24; ++h) at.push_back(h * 60);
    for (size_t n = 0; n < at.size(); ++n) {
      Programme p = Placed(placement, i, weekDay, static_cast<int>(n));
      p.start = static_cast<time_t>(day) * 86400 + at[n] * 60;
      p.rating = Rating(service.parental);
      out.push_back(std::move(p));
    }
  }
  std::sort(out.begin(), out.end(),
            [](const Programme& a, const Programme& b) { return a.start < b.start; });
  return out;
}

}  // namespace

uint32_t ProgrammeGenerator::PlacedId(int placement, int weekDay, int occurrence) {
  return static_cast<uint32_t>(kPlacedIds + placement * 10000 + weekDay * 100 + occurrence);
}

uint32_t ProgrammeGenerator::Id(const Service& service, long day, int slot) {
  const long channel = std::strtol(service.id.c_str(), nullptr, 10) % 10000;
  return static_cast<uint32_t>(channel * 100000 + (day % 100) * 1000 + slot % 1000);
}

std::vector<Programme> ProgrammeGenerator::Day(const Service& service, long day, int weekDay) {
  std::vector<Programme> out;
  std::vector<Programme> placed = PlacedOn(service, day, weekDay);
  size_t nextPlaced = 0;
  Dice dice(std::strtoull(service.id.c_str(), nullptr, 10) * 1000003ull +
            static_cast<uint64_t>(day));
  const std::vector<Kind> kinds = KindsOf(service.genre);
  const time_t midnight = static_cast<time_t>(day) * 86400;
  int minute = 0;
  for (int slot = 0; minute < 24 * 60; ++slot) {
    Programme p;
    p.id = Id(service, day, slot);
    p.start = midnight + minute * 60;
    const Kind kind = kinds[dice.Below(static_cast<int>(kinds.size()))];
    p.rating = Rating(service.parental);
    switch (kind) {
      case Kind::Film: {
        p.minutes = 90 + 5 * dice.Below(7);
        p.title = dice.Pick(kFilms);
        p.genre = "Cine";
        p.subgenre = dice.Pick(kSubgenres);
        p.year = 1960 + dice.Below(64);
        p.originalTitle = dice.Pick(kOriginal);
        p.countries = dice.Pick(kCountries);
        p.directors = {dice.Pick(kDirectors)};
        if (dice.Below(3) == 0) p.directors.push_back(dice.Pick(kDirectors));
        const int first = dice.Below(8);
        p.actors = {kActors[first], kActors[(first + 1) % 8], kActors[(first + 3) % 8]};
        p.scriptwriter = dice.Pick(kDirectors);
        p.producer = "Producciones " + std::string(dice.Pick(kCountries));
        p.rating = kRatings[dice.Below(6)];
        p.description = "Una historia de " + std::string(p.subgenre) +
                        " que no deja indiferente.\\nCon " + p.actors[0] + ".";
        break;
      }
      case Kind::Series:
      case Kind::Kids: {
        const Series& s = kind == Kind::Series ? kSeries[dice.Below(6)] : kKids[dice.Below(3)];
        p.minutes = kind == Kind::Kids ? 30 : 45 + 15 * dice.Below(2);
        p.seriesTitle = s.title;
        p.seriesCrid = "crid://quorvina.es/serie/" + std::to_string(s.crid);
        p.season = 1 + static_cast<int>((day / 60) % 6);
        p.episode = 1 + static_cast<int>((day * 3 + slot) % 24);
        p.year = 2005 + s.crid;
        p.title = std::string(s.title) + ": capítulo " + std::to_string(p.episode);
        p.genre = kind == Kind::Kids ? "Infantil" : "Series";
        p.subgenre = s.subgenre;
        p.directors = {dice.Pick(kDirectors)};
        const int lead = dice.Below(8);
        p.actors = {kActors[lead], kActors[(lead + 5) % 8]};
        p.description = "Temporada " + std::to_string(p.season) + ", episodio " +
                        std::to_string(p.episode) + ".\\nLa vida sigue en " + s.title + ".";
        break;
      }
      case Kind::News:
        p.minutes = 30 * (1 + dice.Below(2));
        p.title = dice.Pick(kNews);
        p.genre = "Noticias";
        p.description = "La actualidad nacional e internacional.";
        break;
      case Kind::Sport:
        p.minutes = 60 + 30 * dice.Below(3);
        p.title = dice.Pick(kSport);
        p.genre = "Deportes";
        p.description = "Deporte en directo.";
        break;
      case Kind::Documentary:
        p.minutes = 30 + 15 * dice.Below(3);
        p.title = dice.Pick(kDocs);
        p.genre = "Documentales";
        p.subgenre = "Naturaleza";
        p.description = "Un viaje por lugares sorprendentes.\\nNarrado por " +
                        std::string(dice.Pick(kActors)) + ".";
        break;
      case Kind::Music:
        p.minutes = 30 + 30 * dice.Below(2);
        p.title = dice.Pick(kMusic);
        p.genre = "Música";
        break;
      case Kind::Quiz:
        p.minutes = 30 + 15 * dice.Below(2);
        p.title = dice.Pick(kQuiz);
        p.genre = "Concursos";
        break;
      case Kind::Magazine:
        p.minutes = 60 + 30 * dice.Below(3);
        p.title = "La mañana de " + service.shortName;
        p.genre = "Magacín";
        p.subgenre = "Entretenimiento";
        p.description = "Actualidad, entrevistas & humor.";
        break;
      case Kind::Shopping:
        p.minutes = 30;
        p.title = "Teletienda";
        p.genre = "Teletienda";
        break;
    }
    p.minutes = std::min(p.minutes, 24 * 60 - minute);
    // A placed programme cuts the one before it short and takes its time.
    if (nextPlaced < placed.size()) {
      Programme& q = placed[nextPlaced];
      const int qMinute = static_cast<int>(q.start - midnight) / 60;
      if (minute + p.minutes > qMinute) {
        p.minutes = qMinute - minute;
        if (p.minutes > 0) out.push_back(std::move(p));
        minute = qMinute + q.minutes;
        out.push_back(std::move(q));
        ++nextPlaced;
        continue;
      }
    }
    minute += p.minutes;
    out.push_back(std::move(p));
  }
  return out;
}

}  // namespace headend
