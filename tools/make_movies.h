// The sample films of the viewer's table, as UTF-8 text, and the maker that
// writes them to movie_r.dbf (make_movies.cpp).
#pragma once

#include <vector>

namespace orvex::tool {

struct Film {
  const char* title;     // at most 20 characters (the table's title field)
  int year;
  bool color;            // false: black and white
  int runtime;           // minutes
  const char* stars;     // at most 50 characters
  const char* director;  // at most 20 characters
  const char* premiere;  // "YYYY-MM-DD": the first public showing
  const char* plot;      // a few words of our own
  bool deleted;          // written, then marked as deleted
};

// The films in the order they are appended.
const std::vector<Film>& SampleFilms();

}  // namespace orvex::tool
