// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>
#include <brimsel/util.h>
#include <brimsel/variable.h>

#include <cstddef>
#include <string>
#include <vector>

namespace Brimsel {

namespace {

const int nBAD_TEMPLATE = 3001;
const int nNO_SUCH_VARIABLE = 3002;

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
// Each piece has a nesting depth: 0 for the template, one more than the
// reference it replaced for a value text; a reference is as deep as its
// shallowest character (a value's "$(" closed by a ")" of the template is a
// reference of the template). A value that refers to itself, directly or
// through other values, makes the nesting grow without end: an expansion of
// finitely many characters at each depth always ends. So an expansion stops
// with 3001 once a reference lies nMAX_NESTING values deep; values that nest
// that deep without a cycle are not expected in any template.
const int nMAX_NESTING = 1000;

class Expander {
 public:
  Expander(const std::string& text, const VariableMap& variables) : _text(text), _variables(variables) {}

  std::string run() {
    _out.reserve(_text.size());
    if (!_text.empty()) _pieces.push_back(Piece{std::string(), true, 0, 0});
    while (!_pieces.empty()) {
      Piece& top = _pieces.back();
      const std::string& s = textOf(top);
      const std::string::size_type dollar = s.find('$', top.pos);
      if (dollar == std::string::npos) {
        _out.append(s, top.pos, std::string::npos);
        _pieces.pop_back();
        continue;
      }
      _out.append(s, top.pos, dollar - top.pos);
      top.pos = dollar;
      if (opensReference()) {
        substitute();
      } else {
        _out += '$';
        _dollarDepth = top.depth;
        if (++top.pos == s.size()) _pieces.pop_back();
      }
    }
    return std::move(_out);
  }

 private:
  struct Piece {
    std::string own;  // the text, unless it is the template's
    bool isTemplate;
    std::string::size_type pos;  // first character not yet scanned; always inside the text
    int depth;
  };

  const std::string& textOf(const Piece& p) const { return p.isTemplate ? _text : p.own; }

  [[noreturn]] void badTemplate(int line) const {
    throw Exception(__FILE__, line, nBAD_TEMPLATE, false, _text);
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

  // Replaces the reference whose "$(" starts at the top piece's position.
  void substitute() {
    // Walk down the pieces from just behind "$(" to the first ")".
    std::size_t index = _pieces.size() - 1;
    int depth = _pieces[index].depth;
    std::string::size_type pos = _pieces[index].pos;
    for (int skip = 0; skip < 2; ++skip) {  // the "$" and the "("
      if (++pos == textOf(_pieces[index]).size()) {
        // The "(" or the name begins in the next piece down; with none left,
        // the "$(" ends the text and is never closed.
        if (index == 0) badTemplate(__LINE__);
        --index;
        pos = _pieces[index].pos;
        if (_pieces[index].depth < depth) depth = _pieces[index].depth;
      }
    }
    std::string name;
    std::string::size_type close;
    for (;;) {
      const std::string& s = textOf(_pieces[index]);
      close = s.find(')', pos);
      if (close != std::string::npos) {
        name.append(s, pos, close - pos);
        break;
      }
      name.append(s, pos, std::string::npos);
      if (index == 0) badTemplate(__LINE__);
      --index;
      pos = _pieces[index].pos;
      if (_pieces[index].depth < depth) depth = _pieces[index].depth;
    }
    if (depth >= nMAX_NESTING) badTemplate(__LINE__);

    const VariableMap::const_iterator found = _variables.find(name);
    if (found == _variables.end()) {
      throw Exception(__FILE__, __LINE__, nNO_SUCH_VARIABLE, false, name);
    }
    std::string value = found->second.toString();

    // Drop what the reference used up.
    _pieces.erase(_pieces.begin() + static_cast<std::ptrdiff_t>(index) + 1, _pieces.end());
    if (++close == textOf(_pieces[index]).size()) {
      _pieces.pop_back();
    } else {
      _pieces[index].pos = close;
    }

    const bool joinsDollar = !_out.empty() && _out.back() == '$';
    if (!joinsDollar && value.find('$') == std::string::npos) {
      // Nothing in this text can open a reference: it is final as it is.
      _out += value;
      return;
    }
    if (!value.empty()) _pieces.push_back(Piece{std::move(value), false, 0, depth + 1});
    if (joinsDollar) {
      // Scan the "$" before the replaced reference again: it may now open one.
      _out.pop_back();
      _pieces.push_back(Piece{std::string(1, '$'), false, 0, _dollarDepth});
    }
  }

  const std::string& _text;
  const VariableMap& _variables;
  std::string _out;  // finished text: holds no "$(", and a "$" at its end only before a non-"("
  std::vector<Piece> _pieces;
  int _dollarDepth = 0;  // the depth of the "$" at the end of _out, if there is one
};

}  // namespace

std::string expand(const std::string& text, const VariableMap& variables) {
  return Expander(text, variables).run();
}

}  // namespace Brimsel
