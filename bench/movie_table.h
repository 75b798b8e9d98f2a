// The movie table shared by the index benchmarks: the rows made once, so
// that the table of the engine and its peers (bench/sqlite_peer.h) hold the
// same data in the same run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/dbf_file.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "index/index_build.h"

namespace orvex::bench {

struct Movie {
  std::string title, stars, director, premiere;  // premiere as YYYYMMDD
  int year, runtime;
  bool color;
};

// Titles of two or three words with a number: mostly distinct, sorted by
// more than their first letters.
inline std::vector<Movie> MakeMovies(int count) {
  static const char* const kWords[] = {"Der",   "Die",      "Das",    "Nacht",  "Stadt",  "Tod",
                                       "Liebe", "Blaue",    "Engel",  "Himmel", "Berlin", "Lola",
                                       "Rennt", "Kabinett", "Doktor", "Mabuse", "Zeit",   "Wind",
                                       "Reise", "Ende",     "Spiel",  "Morgen", "Stern",  "Fluss"};
  static const char* const kDirectors[] = {"Fritz Lang",  "Robert Wiene",  "Tom Tykwer",
                                           "Wim Wenders", "Werner Herzog", "Margarethe von Trotta"};
  static const char* const kStars[] = {"Marlene Dietrich", "Emil Jannings", "Brigitte Helm",
                                       "Hanna Schygulla",  "Bruno Ganz",    "Franka Potente",
                                       "Klaus Kinski",     "Romy Schneider"};
  std::mt19937 random(42);
  std::vector<Movie> movies(static_cast<std::size_t>(count));
  for (Movie& m : movies) {
    m.title = std::string(kWords[random() % 24]) + " " + kWords[random() % 24];
    if (random() % 2) m.title += std::string(" ") + kWords[random() % 24];
    m.title += " " + std::to_string(random() % 100000);
    m.director = kDirectors[random() % 6];
    m.year = 1900 + static_cast<int>(random() % 125);
    m.runtime = 60 + static_cast<int>(random() % 120);
    m.color = random() % 2 != 0;
    m.stars = std::string(kStars[random() % 8]) + ", " + kStars[random() % 8];
    char date[16];
    std::snprintf(date, sizeof date, "%04d%02d%02d", m.year, 1 + static_cast<int>(random() % 12),
                  1 + static_cast<int>(random() % 28));
    m.premiere = date;
  }
  return movies;
}

// The four tags of the movie table's production index.
inline const std::vector<TagDefinition> kMovieTags = {{"TITLE", "LOWER(TITLE)", "", false, false},
                                                      {"YEAR", "YEAR", "", false, false},
                                                      {"RUNTIME", "RUNTIME", "", false, false},
                                                      {"STARS", "LOWER(STARS)", "", false, false}};

// Creates the movie table and opens it exclusively in the current area.
inline void CreateMovieTable(const std::string& name) {
  CreateDbf(name, {{"title", 'C', 30, 0},
                   {"year", 'N', 4, 0},
                   {"color", 'L', 1, 0},
                   {"runtime", 'N', 3, 0},
                   {"stars", 'C', 50, 0},
                   {"director", 'C', 35, 0},
                   {"plot", 'M', 10, 0},
                   {"premiere", 'D', 8, 0}});
  USE(name + " EXCLUSIVE");
}

// Fills the record buffer with a movie and appends it.
inline void AppendMovie(const Movie& m) {
  SetText(1, m.title);
  std::memcpy(FieldAddress(2), &m.year, 4);
  *FieldAddress(3) = m.color ? 1 : 0;
  std::memcpy(FieldAddress(4), &m.runtime, 4);
  SetText(5, m.stars);
  SetText(6, m.director);
  std::int32_t no_plot = 0;
  std::memcpy(FieldAddress(7), &no_plot, 4);
  SetText(8,
          m.premiere.substr(4, 2) + "/" + m.premiere.substr(6, 2) + "/" + m.premiere.substr(2, 2));
  Append();
}

inline void BuildTable(const std::string& name, std::span<const Movie> movies) {
  CreateMovieTable(name);
  for (const Movie& m : movies) AppendMovie(m);
  USE("");
}

}  // namespace orvex::bench
