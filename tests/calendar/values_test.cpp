// What the value classes share: copies, assignment (to itself too) and the
// comparisons, on random values with many ties, against the order of a key.
#include <brimsel/guid.h>
#include <brimsel/timestamp.h>
#include <brimsel/version.h>

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <tuple>

using namespace Brimsel;

namespace {

template <class T>
struct Values;

template <>
struct Values<Date> {
  static Date make(std::mt19937& rng) {
    const Date some[] = {Date::Never, Date::Forever, Date(INT_MIN, 12, 31), Date(-1, 1, 1), Date(0, 1, 2),
                         Date(0, 2, 1), Date(2024, 2, 29), Date(2024, 3, 1), Date(INT_MAX, 1, 1)};
    return some[rng() % 9];
  }
  static auto key(const Date& d) { return std::make_tuple(d.year(), d.month(), d.day()); }
};

template <>
struct Values<Time> {
  static Time make(std::mt19937& rng) {
    const double seconds[] = {0.0, -0.0, 0.25, 0.5, 59.0};
    return Time(rng() % 3 * 11, rng() % 2 * 59, seconds[rng() % 5]);
  }
  static auto key(const Time& t) { return std::make_tuple(t.hour(), t.minute(), t.second()); }
};

template <>
struct Values<Timestamp> {
  static Timestamp make(std::mt19937& rng) { return Timestamp(Values<Date>::make(rng), Values<Time>::make(rng)); }
  static auto key(const Timestamp& t) {
    return std::tuple_cat(Values<Date>::key(t), Values<Time>::key(t));
  }
};

template <>
struct Values<Version> {
  static Version make(std::mt19937& rng) {
    const int parts[] = {INT_MIN, -1, 0, 1, INT_MAX};
    return Version(parts[rng() % 5], parts[rng() % 5], parts[rng() % 5], parts[rng() % 5]);
  }
  static auto key(const Version& v) { return std::make_tuple(v.verMajor(), v.verMinor(), v.release(), v.build()); }
};

// Identifiers compare as their fixed-width upper-case text does; digits with
// the high bit set catch a signed or byte-wise comparison of the numbers.
template <>
struct Values<Guid> {
  static Guid make(std::mt19937& rng) {
    std::string text;
    for (std::size_t n : {8, 4, 4, 4, 12}) {
      const std::string forms[] = {std::string(n, '0'), "8" + std::string(n - 1, '0'), "7" + std::string(n - 1, 'F'),
                                   std::string(n - 2, '0') + "80"};
      text += (text.empty() ? "" : "-") + forms[rng() % 4];
    }
    return Guid::fromString(text);
  }
  static std::string key(const Guid& g) { return g.asString(); }
};

template <class T>
class ValueClass : public ::testing::Test {};
using Classes = ::testing::Types<Date, Time, Timestamp, Version, Guid>;
TYPED_TEST_SUITE(ValueClass, Classes);

TYPED_TEST(ValueClass, CopiesAssignmentAndComparisonsFollowTheKey) {
  using V = Values<TypeParam>;
  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    const TypeParam a = V::make(rng), b = V::make(rng);
    const auto ka = V::key(a), kb = V::key(b);
    ASSERT_EQ(std::vector<bool>({a == b, a != b, a < b, a > b}), std::vector<bool>({ka == kb, ka != kb, ka < kb, ka > kb}))
        << ::testing::PrintToString(ka) << " vs " << ::testing::PrintToString(kb);
    if constexpr (!std::is_same<TypeParam, Guid>::value) {
      ASSERT_EQ(std::vector<bool>({a <= b, a >= b}), std::vector<bool>({ka <= kb, ka >= kb}));
    }
    TypeParam target(b);
    ASSERT_TRUE(V::key(target) == kb);
    ASSERT_EQ(&(target = a), &target);
    target = static_cast<const TypeParam&>(target);
    ASSERT_TRUE(V::key(target) == ka && V::key(TypeParam(target)) == ka);
  }
}

}  // namespace
