#include <brimsel/variant.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>

#include "helpers.h"

using Brimsel::Date;
using Brimsel::Variant;

namespace {

const unsigned int kNoLength = 0xFFFFFFFFu;
const unsigned char kBytes[] = {0x00, 0xFF, 0x7F, 0x80, 0x0A};

bool holdsBytes(const Variant& v, unsigned int n) {
  return v.type() == Variant::vtBinary && v.length() == n && v.toBinary() != nullptr &&
         v.toBinary() != kBytes && (n == 0 || std::memcmp(v.toBinary(), kBytes, n) == 0);
}

}  // namespace

TEST(Variant, BinaryBuffersAreOwnedAndLengthZeroIsReal) {
  const Variant empty(kBytes, 0), other(kBytes, 0);
  EXPECT_TRUE(holdsBytes(empty, 0));
  EXPECT_NE(empty.toBinary(), other.toBinary());
  EXPECT_TRUE(holdsBytes(Variant(empty), 0));

  const Variant none(nullptr, kNoLength);  // the pointer is not read
  EXPECT_EQ(none.type(), Variant::vtBinary);
  EXPECT_EQ(none.toBinary(), nullptr);
  EXPECT_EQ(Variant(none).toBinary(), nullptr);
  EXPECT_EQ(Variant::coerce(none, Variant::vtBinary).length(), kNoLength);

  auto source = std::make_unique<Variant>(kBytes, sizeof kBytes);
  const Variant copy(*source);
  Variant assigned(7);
  assigned = *source;
  const Variant coerced = Variant::coerce(*source, Variant::vtBinary);
  const unsigned char* buffers[] = {source->toBinary(), copy.toBinary(), assigned.toBinary(), coerced.toBinary()};
  source.reset();  // a shared buffer would now be freed under the others (ASan sees it)
  for (const Variant* v : {&copy, static_cast<const Variant*>(&assigned), &coerced}) EXPECT_TRUE(holdsBytes(*v, sizeof kBytes));
  for (int i = 0; i < 4; ++i) {
    for (int j = i + 1; j < 4; ++j) EXPECT_NE(buffers[i], buffers[j]);
  }
  EXPECT_EQ(copy.toBinary(), buffers[1]) << "the same buffer on every call";
}

TEST(Variant, AssignmentReplacesEveryFieldAndIgnoresItself) {
  Variant v(kBytes, sizeof kBytes);
  const unsigned char* buffer = v.toBinary();
  Variant& alias = v;
  EXPECT_EQ(&(v = alias), &v);
  EXPECT_EQ(v.toBinary(), buffer);
  EXPECT_TRUE(holdsBytes(v, sizeof kBytes));

  v = Variant(7);
  EXPECT_EQ(v.type(), Variant::vtInt);
  EXPECT_EQ(v.length(), kNoLength);
  EXPECT_EQ(failure([&] { v.toBinary(); }), "4301:int > Binary");

  // The current-time flag goes along with an assignment and away with the next.
  v = Variant(Date(1999, 12, 31), true);
  EXPECT_NE(v.toDate(), Date(1999, 12, 31));
  EXPECT_EQ(v.toString(), "1999-12-31");
  v = Variant(std::string("1999-12-31"));
  EXPECT_EQ(v.toDate(), Date(1999, 12, 31));
  v = Variant(7);
  EXPECT_EQ(failure([&] { v.toDate(); }), "4301:int > Date");
}

TEST(Variant, TypeFromIntAndText) {
  for (int n = 0; n <= 7; ++n) EXPECT_EQ(Variant::typeFromInt(n), n);
  EXPECT_EQ(failure([] { Variant::typeFromInt(8); }), "4300:8");
  EXPECT_EQ(failure([] { Variant::typeFromInt(-1); }), "4300:-1");
  EXPECT_EQ(failure([] { Variant::typeFromInt(INT_MIN); }), "4300:-2147483648");

  // Read as atoi reads; a failure reports the whole text.
  const struct {
    const char* text;
    int type;
  } good[] = {{"6", 6}, {" 2", 2}, {"3 apples", 3}, {"int", 0}, {"Binary", 0},
              {"", 0},  {"+7", 7}, {"\t\n 1x", 1},  {"-0", 0},  {"0007", 7}};
  for (const auto& c : good) EXPECT_EQ(Variant::typeFromText(c.text), c.type) << '"' << c.text << '"';
  for (const char* bad : {"42", "9 lives", "-1", "8", "99999999999999999999", "-99999999999999999999"}) {
    EXPECT_EQ(failure([&] { Variant::typeFromText(bad); }), std::string("4300:") + bad);
  }
}
