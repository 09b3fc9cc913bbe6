#include <brimsel/variant.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>

#include "helpers.h"

using Brimsel::Date;
using Brimsel::Time;
using Brimsel::Timestamp;
using Brimsel::Variant;

namespace {

const unsigned int kNoLength = 0xFFFFFFFFu;
const unsigned char kBytes[] = {0x00, 0xFF, 0x7F, 0x80, 0x0A};

bool holdsBytes(const Variant& v, const unsigned char* bytes, unsigned int n) {
  return v.type() == Variant::vtBinary && v.length() == n && v.toBinary() != nullptr &&
         (n == 0 || std::memcmp(v.toBinary(), bytes, n) == 0);
}

}  // namespace

TEST(Variant, EveryConstructorSetsItsKindAndNoLength) {
  const struct {
    Variant v;
    Variant::VariantType type;
  } cases[] = {
      {Variant(), Variant::vtNone},
      {Variant(42), Variant::vtInt},
      {Variant(4.5), Variant::vtDouble},
      {Variant(std::string("s")), Variant::vtString},
      {Variant(Date(2024, 2, 29)), Variant::vtDate},
      {Variant(Time(1, 2, 3.0)), Variant::vtTime},
      {Variant(Timestamp(2024, 2, 29, 1, 2, 3.0)), Variant::vtTimestamp},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.v.type(), c.type);
    EXPECT_EQ(c.v.length(), kNoLength) << c.type;
    EXPECT_EQ(Variant(c.v).type(), c.type) << "copy keeps the kind";
  }
  // The kinds are numbered for typeFromInt and the stored type numbers.
  EXPECT_EQ(Variant::vtNone, 0);
  EXPECT_EQ(Variant::vtTimestamp, 6);
  EXPECT_EQ(Variant::vtBinary, 7);
}

TEST(Variant, BinaryOfLengthZeroHasABufferOfItsOwn) {
  const Variant a(kBytes, 0);
  const Variant b(kBytes, 0);
  EXPECT_TRUE(holdsBytes(a, kBytes, 0));
  EXPECT_NE(a.toBinary(), b.toBinary());
  EXPECT_NE(a.toBinary(), kBytes) << "copied, not borrowed";
  const Variant copy(a);
  EXPECT_TRUE(holdsBytes(copy, kBytes, 0));
  EXPECT_NE(copy.toBinary(), a.toBinary());
}

TEST(Variant, BinaryWithoutLengthHasNoBufferAndDoesNotReadThePointer) {
  const Variant v(nullptr, kNoLength);
  EXPECT_EQ(v.type(), Variant::vtBinary);
  EXPECT_EQ(v.length(), kNoLength);
  EXPECT_EQ(v.toBinary(), nullptr);
  const Variant copy(v);
  EXPECT_EQ(copy.length(), kNoLength);
  EXPECT_EQ(copy.toBinary(), nullptr);
  Variant target(kBytes, 3);
  target = v;
  EXPECT_EQ(target.toBinary(), nullptr);
  EXPECT_EQ(target.length(), kNoLength);
}

TEST(Variant, CopiesOwnTheirBytes) {
  auto source = std::make_unique<Variant>(kBytes, sizeof kBytes);
  EXPECT_NE(source->toBinary(), kBytes);
  const Variant copy(*source);
  Variant assigned(7);
  assigned = *source;
  EXPECT_NE(copy.toBinary(), source->toBinary());
  EXPECT_NE(assigned.toBinary(), source->toBinary());
  source.reset();  // a shared buffer would now be freed under the copies (ASan sees it)
  EXPECT_TRUE(holdsBytes(copy, kBytes, sizeof kBytes));
  EXPECT_TRUE(holdsBytes(assigned, kBytes, sizeof kBytes));
  EXPECT_EQ(copy.toBinary(), copy.toBinary()) << "the same buffer on every call";
}

TEST(Variant, SelfAssignmentKeepsTheBuffer) {
  Variant v(kBytes, sizeof kBytes);
  const unsigned char* before = v.toBinary();
  Variant& alias = v;
  EXPECT_EQ(&(v = alias), &v);
  EXPECT_EQ(v.toBinary(), before);
  EXPECT_TRUE(holdsBytes(v, kBytes, sizeof kBytes));
}

TEST(Variant, AssignmentReplacesEveryField) {
  Variant v(kBytes, sizeof kBytes);
  v = Variant(7);
  EXPECT_EQ(v.type(), Variant::vtInt);
  EXPECT_EQ(v.length(), kNoLength);
  EXPECT_EQ(v.toInt(), 7);
  EXPECT_EQ(failure([&] { v.toBinary(); }), "4301:int > Binary");

  v = Variant(std::string("text"));
  v = Variant(2.5);
  EXPECT_EQ(v.toString(), "2.5");
  v = Variant(Date(2020, 1, 2), true);
  v = Variant(std::string("1999-12-31"));
  EXPECT_EQ(v.toDate(), Date(1999, 12, 31)) << "the flag went with the old value";
}

TEST(Variant, AssignmentCarriesTheCurrentTimeFlag) {
  const Date past(1999, 12, 31);
  Variant v;
  v = Variant(past, true);
  // The flag makes toDate read the clock; bracket the reading against midnight.
  const Date before = Date::now(Brimsel::LOCAL);
  const Date read = v.toDate();
  const Date after = Date::now(Brimsel::LOCAL);
  EXPECT_TRUE(read == before || read == after);
  EXPECT_EQ(v.toString(), "1999-12-31");
  v = Variant(7);
  EXPECT_EQ(failure([&] { v.toDate(); }), "4301:int > Date");
}

TEST(Variant, TypeFromIntAcceptsZeroToSeven) {
  for (int n = 0; n <= 7; ++n) EXPECT_EQ(Variant::typeFromInt(n), n);
  EXPECT_EQ(failure([] { Variant::typeFromInt(8); }), "4300:8");
  EXPECT_EQ(failure([] { Variant::typeFromInt(-1); }), "4300:-1");
  EXPECT_EQ(failure([] { Variant::typeFromInt(INT_MIN); }), "4300:-2147483648");
}

TEST(Variant, TypeFromTextReadsLikeAtoiAndReportsTheWholeText) {
  const struct {
    const char* text;
    int type;
  } good[] = {{"6", 6}, {" 2", 2}, {"3 apples", 3}, {"int", 0}, {"Binary", 0}, {"", 0},
              {"+7", 7}, {"\t\n 1x", 1}, {"-0", 0}, {"0007", 7}};
  for (const auto& c : good) EXPECT_EQ(Variant::typeFromText(c.text), c.type) << '"' << c.text << '"';
  for (const char* bad : {"42", "9 lives", "-1", "8", "99999999999999999999", "-99999999999999999999"}) {
    EXPECT_EQ(failure([&] { Variant::typeFromText(bad); }), std::string("4300:") + bad);
  }
}
