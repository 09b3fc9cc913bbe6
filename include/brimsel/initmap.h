// InitMap: an ordered map of text keys to text values that reads and writes
// itself as one init string.
//
// The init string has one line per entry, "<key>\t<value>", lines separated
// by a single line feed, in ascending key order, with no line feed before the
// first or after the last line; there is no quoting, escaping or comment.
// Reading is forgiving and never fails: lines are split at runs of line
// feeds, fields at runs of tabs (so empty lines, empty keys or values and
// leading tabs produce nothing), a line with fewer than two fields is
// skipped, fields after the second are ignored, and the first line with a
// given key wins. Nothing is trimmed: a "\r\n" line end leaves a carriage
// return at the end of the value. So writing and reading back reproduces a
// map only when no key or value is empty or holds a tab or a line feed.
//
// Neither operation throws an Exception; only allocation failures escape.
#ifndef BRIMSEL_INITMAP_H
#define BRIMSEL_INITMAP_H

#include <brimsel/export.h>

#include <map>
#include <string>

namespace Brimsel {

class InitMap : public std::map<std::string, std::string> {
 public:
  using std::map<std::string, std::string>::map;
  InitMap() = default;
  InitMap(const InitMap&) = default;
  InitMap(InitMap&&) = default;
  InitMap& operator=(const InitMap&) = default;
  InitMap& operator=(InitMap&&) = default;
  ~InitMap() = default;

  // The init string of the map ("" for an empty map).
  BRIMSEL_API std::string initString() const;
  // A new map read from an init string.
  BRIMSEL_API static InitMap fromInitString(const std::string& text);
};

}  // namespace Brimsel

#endif  // BRIMSEL_INITMAP_H
