#include <brimsel/unitconversions.h>

#include <gtest/gtest.h>

#include <limits>

using U = Brimsel::UnitConversions;

// Exact comparisons wherever the result is fixed to the last bit.

TEST(UnitConversions, Temperature) {
  EXPECT_EQ(U::FehCelConversion(100.0, true), 212.0);
  EXPECT_EQ(U::FehCelConversion(212.0, false), 100.0);
  EXPECT_EQ(U::FehCelConversion(-40.0, true), -40.0);
  EXPECT_EQ(U::FehCelConversion(-40.0, false), -40.0);
  // Multiply by 9, then divide by 5: multiplying by 1.8 or 0.2, or dividing
  // first, gives -43.60000000000001.
  EXPECT_EQ(U::FehCelConversion(-42.0, true), -43.599999999999994);
  // Times the double nearest 5/9: dividing by 1.8, or by 9 after times 5,
  // gives 232.77777777777777 and 38.0.
  EXPECT_EQ(U::FehCelConversion(451.0, false), 232.7777777777778);
  EXPECT_EQ(U::FehCelConversion(100.4, false), 38.00000000000001);
}

TEST(UnitConversions, LengthAndPressure) {
  EXPECT_EQ(U::FtMeterConversion(1.0, true), 3.2808399);
  EXPECT_EQ(U::FtMeterConversion(3.2808399, false), 1.0);
  EXPECT_EQ(U::InchMillimeterConversion(25.4, true), 1.0000005399999998);
  EXPECT_EQ(U::InchMillimeterConversion(0.0393701, false), 1.0);
  EXPECT_EQ(U::InhgHpaConversion(1013.25, true), 29.924689888275);
  EXPECT_EQ(U::InhgHpaConversion(29.92, false), 1013.0912003829485);
}

TEST(UnitConversions, MassUsesTwoConstantsThatAreNotReciprocal) {
  EXPECT_EQ(U::LbsKgsConversion(1.0, false), 0.4535924);
  EXPECT_EQ(U::LbsKgsConversion(1.0, true), 2.20462262);
  EXPECT_EQ(U::LbsKgsConversion(U::LbsKgsConversion(1.0, true), false), 1.000000065300088);
}

TEST(UnitConversions, InputsAreNotChecked) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(U::FehCelConversion(-inf, true), -inf);
  EXPECT_EQ(U::FtMeterConversion(inf, false), inf);
  EXPECT_EQ(U::LbsKgsConversion(-2.0, false), -0.9071848);
}
