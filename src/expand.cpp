// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>
#include <brimsel/util.h>
#include <brimsel/variable.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "errors.h"

namespace Brimsel {

namespace {

// Expanding means: find the leftmost "$(" in the text, replace the reference
// through its first ")" by the value's text, and start again at the front,
// until no "$(" is left. Doing that literally costs a search from the front
// and a rebuild of the whole text per reference. This does the same work in
// one pass: what lies left of the reference just replaced contains no "$("
// any more, so the search may resume at the replaced reference, one
// character earlier in case a "$" there joins a "(" that follows it.
//
// The text still to be scanned is a stack of pieces: the rest of the
// template at the bottom, above it the rest of each value text pulled in and
// not yet scanned. A reference (name included) may span pieces, exactly as
// in the rebuilt text.
//
// Cycles. Each value text pulled in is a node of a tree whose parent is the
// value (or the template) the reference lay in; a reference that spans
// pieces lies in the nearest node that holds all of its characters. A
// reference to a name that is one of the nodes it lies in would pull the
// same text into itself again, without end: that is a cycle, reported as
// soon as the name recurs. A name may recur beside its own expansion, or
// after it, as often as it likes.
//
// Amplification. Without a cycle, values that refer to each other several
// times still multiply: ten levels of ten references make 10^10 bytes. So
// the text put in for references is counted (each value's text every time
// it is put in, at least one character per reference), starting from the
// template's size, and the expansion stops once that count exceeds both
// kAmplificationFloor and kAmplificationFactor times the inputs (the
// template and each distinct value used, counted once). The count is never
// smaller than the result, so no result beyond the bound is ever built.
const std::size_t kAmplificationFloor = std::size_t(16) << 20;
const std::size_t kAmplificationFactor = 100;

class Expander {
 public:
  Expander(const std::string& text, const VariableMap& variables)
      : _text(text), _variables(variables), _produced(text.size()), _inputs(text.size()) {
    _nodes.push_back(Node{nullptr, -1, 0, 1});  // the template
  }

  std::string run() {
    _out.reserve(_text.size());
    if (!_text.empty()) _pieces.push_back(Piece{std::string(), true, 0, 0});
    while (!_pieces.empty()) {
      Piece& top = _pieces.back();
      const std::string& s = textOf(top);
      const std::string::size_type dollar = s.find('$', top.pos);
      if (dollar == std::string::npos) {
        _out.append(s, top.pos, std::string::npos);
        popPiece();
        continue;
      }
      _out.append(s, top.pos, dollar - top.pos);
      top.pos = dollar;
      if (opensReference()) {
        substitute();
      } else {
        _out += '$';
        hold(top.node);
        drop(_dollarNode);
        _dollarNode = top.node;
        if (++top.pos == s.size()) popPiece();
      }
    }
    return std::move(_out);
  }

 private:
  typedef VariableMap::value_type Entry;

  // A text pulled in for a reference, or the template (node 0, never freed).
  struct Node {
    const Entry* entry;  // whose value; null for the template
    int parent;
    int depth;
    int refs;  // pieces, child nodes and the pending "$" that refer to it
  };

  struct Piece {
    std::string own;  // the text, unless it is the template's
    bool isTemplate;
    std::string::size_type pos;  // first character not yet scanned; always inside the text
    int node;
  };

  const std::string& textOf(const Piece& p) const { return p.isTemplate ? _text : p.own; }

  [[noreturn]] void badTemplate(int line) const {
    throw Exception(detail::baseName(__FILE__), line, detail::kBadTemplate, false, _text);
  }

  void hold(int node) { ++_nodes[static_cast<std::size_t>(node)].refs; }

  void drop(int node) {
    while (node > 0 && --_nodes[static_cast<std::size_t>(node)].refs == 0) {
      _free.push_back(node);
      node = _nodes[static_cast<std::size_t>(node)].parent;
    }
  }

  int newNode(const Entry* entry, int parent) {
    hold(parent);
    const Node node{entry, parent, _nodes[static_cast<std::size_t>(parent)].depth + 1, 1};
    if (_free.empty()) {
      _nodes.push_back(node);
      return static_cast<int>(_nodes.size() - 1);
    }
    const int index = _free.back();
    _free.pop_back();
    _nodes[static_cast<std::size_t>(index)] = node;
    return index;
  }

  // The nearest node that holds both `a` and `b`.
  int common(int a, int b) const {
    while (a != b) {
      const Node& na = _nodes[static_cast<std::size_t>(a)];
      const Node& nb = _nodes[static_cast<std::size_t>(b)];
      if (na.depth >= nb.depth)
        a = na.parent;
      else
        b = nb.parent;
    }
    return a;
  }

  bool expanding(int node, const Entry* entry) const {
    for (; node > 0; node = _nodes[static_cast<std::size_t>(node)].parent) {
      if (_nodes[static_cast<std::size_t>(node)].entry == entry) return true;
    }
    return false;
  }

  void popPiece() {
    drop(_pieces.back().node);
    _pieces.pop_back();
  }

  // Whether `entry` is used for the first time: a set of the entries used so
  // far, open addressing over a power-of-two table kept at most half full.
  bool firstUse(const Entry* entry) {
    if (2 * (_usedCount + 1) > _used.size()) {
      std::vector<const Entry*> old(_used.size() < 64 ? 64 : 2 * _used.size(), nullptr);
      old.swap(_used);
      for (const Entry* e : old) {
        if (e != nullptr) place(e);
      }
    }
    if (!place(entry)) return false;
    ++_usedCount;
    return true;
  }

  // Puts `entry` into the table unless it is there already.
  bool place(const Entry* entry) {
    const std::size_t mask = _used.size() - 1;
    std::size_t slot =
        (reinterpret_cast<std::uintptr_t>(entry) >> 4) * 0x9E3779B97F4A7C15ull >> 20 & mask;
    while (_used[slot] != nullptr) {
      if (_used[slot] == entry) return false;
      slot = (slot + 1) & mask;
    }
    _used[slot] = entry;
    return true;
  }

  // Counts `value` put in for a reference to `entry`; stops an expansion that
  // multiplies beyond the bound.
  void account(const Entry* entry, std::size_t size) {
    if (firstUse(entry)) _inputs += size;
    _produced += size == 0 ? 1 : size;
    if (_produced > kAmplificationFloor && _produced / kAmplificationFactor >= _inputs &&
        _produced > kAmplificationFactor * _inputs)
      badTemplate(__LINE__);
  }

  // Whether the "$" at the top piece's position is followed by "(", which may
  // be the first character of the piece below.
  bool opensReference() const {
    const Piece& top = _pieces.back();
    const std::string& s = textOf(top);
    if (top.pos + 1 < s.size()) return s[top.pos + 1] == '(';
    if (_pieces.size() < 2) return false;
    const Piece& below = _pieces[_pieces.size() - 2];
    return textOf(below)[below.pos] == '(';
  }

  // The name of the reference whose "$(" starts at the top piece's position:
  // walks down the pieces from just behind the "$(" to the first ")", and
  // leaves in `index` and `close` where that ")" is, and in `node` the
  // nearest node that holds every character of the reference.
  std::string readName(std::size_t& index, int& node, std::string::size_type& close) {
    std::string::size_type pos = _pieces[index].pos;
    for (int skip = 0; skip < 2; ++skip) {  // the "$" and the "("
      if (++pos == textOf(_pieces[index]).size()) {
        // The "(" or the name begins in the next piece down; with none left,
        // the "$(" ends the text and is never closed.
        if (index == 0) badTemplate(__LINE__);
        --index;
        pos = _pieces[index].pos;
        node = common(node, _pieces[index].node);
      }
    }
    std::string name;
    for (;;) {
      const std::string& s = textOf(_pieces[index]);
      close = s.find(')', pos);
      if (close != std::string::npos) {
        name.append(s, pos, close - pos);
        return name;
      }
      name.append(s, pos, std::string::npos);
      if (index == 0) badTemplate(__LINE__);
      --index;
      pos = _pieces[index].pos;
      node = common(node, _pieces[index].node);
    }
  }

  // Replaces the reference whose "$(" starts at the top piece's position.
  void substitute() {
    std::size_t index = _pieces.size() - 1;
    int node = _pieces[index].node;
    std::string::size_type close;
    const std::string name = readName(index, node, close);
    const VariableMap::const_iterator found = _variables.find(name);
    if (found == _variables.end()) {
      throw Exception(BRIMSEL_HERE, detail::kNoSuchVariable, false, name);
    }
    const Entry* entry = &*found;
    if (expanding(node, entry)) badTemplate(__LINE__);
    std::string value = found->second.toString();
    account(entry, value.size());

    const bool joinsDollar = !_out.empty() && _out.back() == '$';
    if (!joinsDollar && value.find('$') == std::string::npos) {
      // Nothing in this text can open a reference: it is final as it is.
      consume(index, close);
      _out += value;
      return;
    }
    // The new node holds `node` while the pieces the reference used up go.
    const int child = value.empty() ? 0 : newNode(entry, node);
    consume(index, close);
    if (!value.empty()) _pieces.push_back(Piece{std::move(value), false, 0, child});
    if (joinsDollar) {
      // Scan the "$" before the replaced reference again: it may now open one.
      _out.pop_back();
      _pieces.push_back(Piece{std::string(1, '$'), false, 0, _dollarNode});
      _dollarNode = 0;
    }
  }

  // Drops the pieces above `index` and what the reference used of the piece
  // at `index`, through its ")" at `close`.
  void consume(std::size_t index, std::string::size_type close) {
    while (_pieces.size() > index + 1) popPiece();
    if (++close == textOf(_pieces[index]).size()) {
      popPiece();
    } else {
      _pieces[index].pos = close;
    }
  }

  const std::string& _text;
  const VariableMap& _variables;
  std::string _out;  // finished text: holds no "$(", and a "$" at its end only before a non-"("
  std::vector<Piece> _pieces;
  std::vector<Node> _nodes;
  std::vector<int> _free;  // nodes no longer referred to, for reuse
  int _dollarNode = 0;     // the node of the "$" at the end of _out, if there is one
  std::size_t _produced;
  std::size_t _inputs;
  std::vector<const Entry*> _used;  // the entries used so far (see firstUse)
  std::size_t _usedCount = 0;
};

}  // namespace

std::string expand(const std::string& text, const VariableMap& variables) {
  return Expander(text, variables).run();
}

}  // namespace Brimsel
