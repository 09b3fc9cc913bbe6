// SPDX-License-Identifier: MIT
/// \file
/// InitMap, an ordered text map that reads and writes itself as one init string.
#ifndef BRIMSEL_INITMAP_H
#define BRIMSEL_INITMAP_H

#include <brimsel/export.h>

#include <map>
#include <string>

namespace Brimsel {

/// An ordered map of text keys to text values that reads and writes itself as
/// one init string.
///
/// The init string has one line per entry, `"<key>\t<value>"` (key, one
/// horizontal tab, value), lines separated by a single line feed, in
/// ascending key order, with no line feed before the first or after the last
/// line; there is no quoting, escaping or comment.
///
/// Reading is forgiving and never fails: lines are split at runs of line
/// feeds, fields at runs of tabs (so empty lines, empty keys or values and
/// leading tabs produce nothing), a line with fewer than two fields is
/// skipped, fields after the second are ignored, and the first line with a
/// given key wins. Nothing is trimmed: a carriage return before a line feed
/// stays at the end of the value. So writing and reading back reproduces a
/// map only when no key or value is empty or holds a tab or a line feed.
///
/// Neither operation throws an Exception; only allocation failures escape.
/// Every other operation is that of std::map.
class InitMap : public std::map<std::string, std::string> {
 public:
  using std::map<std::string, std::string>::map;
  /// An empty map.
  InitMap() = default;
  /// A copy of every entry of the other map.
  InitMap(const InitMap&) = default;
  /// Takes over the entries of the other map.
  InitMap(InitMap&&) = default;
  /// Replaces the entries by copies of the other map's.
  InitMap& operator=(const InitMap&) = default;
  /// Replaces the entries by those of the other map.
  InitMap& operator=(InitMap&&) = default;
  /// Destroys the map and its entries.
  ~InitMap() = default;

  /// The init string of the map ("" for an empty map).
  BRIMSEL_API std::string initString() const;
  /// A new map read from an init string; never fails (see the class comment).
  BRIMSEL_API static InitMap fromInitString(const std::string& text);
};

}  // namespace Brimsel

#endif  // BRIMSEL_INITMAP_H
