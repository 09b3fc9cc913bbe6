// SPDX-License-Identifier: MIT
#include <brimsel/unitconversions.h>

#include <gtest/gtest.h>

#include <limits>

using U = Brimsel::UnitConversions;

// Exact comparisons: each result is fixed to the last bit by the constants
// and the order of the operations.
TEST(UnitConversions, FiguresToTheLastBit) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double (*convert)(double, bool);
    double value;
    bool flag;
    double expected;
  } cases[] = {
      {U::FehCelConversion, 100.0, true, 212.0},
      {U::FehCelConversion, 212.0, false, 100.0},
      {U::FehCelConversion, -40.0, false, -40.0},
      {U::FehCelConversion, -inf, true, -inf},
      // Multiply by 9, then divide by 5: multiplying by 1.8 or 0.2, or dividing
      // first, gives -43.60000000000001.
      {U::FehCelConversion, -42.0, true, -43.599999999999994},
      // Times the double nearest 5/9: dividing by 1.8, or by 9 after times 5,
      // gives 232.77777777777777 and 38.0.
      {U::FehCelConversion, 451.0, false, 232.7777777777778},
      {U::FehCelConversion, 100.4, false, 38.00000000000001},
      {U::FtMeterConversion, 1.0, true, 3.2808399},        {U::FtMeterConversion, 3.2808399, false, 1.0},
      {U::InchMillimeterConversion, 25.4, true, 1.0000005399999998},
      {U::InchMillimeterConversion, 0.0393701, false, 1.0},
      {U::InhgHpaConversion, 1013.25, true, 29.924689888275},
      {U::InhgHpaConversion, 29.92, false, 1013.0912003829485},
      // Two constants that are not each other's reciprocal.
      {U::LbsKgsConversion, 1.0, false, 0.4535924},         {U::LbsKgsConversion, 1.0, true, 2.20462262},
      {U::LbsKgsConversion, 2.20462262, false, 1.000000065300088},
      {U::LbsKgsConversion, -2.0, false, -0.9071848},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.convert(c.value, c.flag), c.expected) << "case " << (&c - cases);
}
