#include <brimsel/unitconversions.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using Brimsel::UnitConversions;

// Exact comparisons where the result is fixed to the last bit.

TEST(UnitConversions, Temperature) {
  EXPECT_EQ(UnitConversions::FehCelConversion(100.0, true), 212.0);
  EXPECT_EQ(UnitConversions::FehCelConversion(212.0, false), 100.0);
  EXPECT_EQ(UnitConversions::FehCelConversion(-40.0, true), -40.0);
  EXPECT_EQ(UnitConversions::FehCelConversion(-40.0, false), -40.0);
  EXPECT_EQ(UnitConversions::FehCelConversion(0.0, true), 32.0);
  EXPECT_EQ(UnitConversions::FehCelConversion(32.0, false), 0.0);
  // Multiply by 9, then divide by 5: multiplying by 1.8, or dividing first,
  // gives 0.8599999999999994 here.
  EXPECT_EQ(UnitConversions::FehCelConversion(-17.3, true), 0.8599999999999959);
  // Fahrenheit to Celsius multiplies by the double nearest 5/9; dividing by
  // 1.8 or multiplying by 5 and dividing by 9 is off in the last bit here.
  EXPECT_EQ(UnitConversions::FehCelConversion(451.0, false), 232.7777777777778);
  EXPECT_EQ(UnitConversions::FehCelConversion(100.4, false), 38.00000000000001);
  EXPECT_EQ(UnitConversions::FehCelConversion(-459.67, false), -273.15000000000003);
}

TEST(UnitConversions, Length) {
  EXPECT_EQ(UnitConversions::FtMeterConversion(1.0, true), 3.2808399);
  EXPECT_EQ(UnitConversions::FtMeterConversion(3.2808399, false), 1.0);
  EXPECT_EQ(UnitConversions::FtMeterConversion(10.0, false), 10.0 / 3.2808399);
  EXPECT_EQ(UnitConversions::InchMillimeterConversion(25.4, true), 25.4 * 0.0393701);
  EXPECT_NE(UnitConversions::InchMillimeterConversion(25.4, true), 1.0);
  EXPECT_NEAR(UnitConversions::InchMillimeterConversion(25.4, true), 1.00000054, 1e-9);
  EXPECT_EQ(UnitConversions::InchMillimeterConversion(1.0, false), 1.0 / 0.0393701);
}

TEST(UnitConversions, Pressure) {
  EXPECT_NEAR(UnitConversions::InhgHpaConversion(1013.25, true), 29.9247, 5e-5);
  EXPECT_EQ(UnitConversions::InhgHpaConversion(1013.25, true), 1013.25 * 0.0295333727);
  EXPECT_NEAR(UnitConversions::InhgHpaConversion(29.92, false), 1013.09, 5e-3);
  EXPECT_EQ(UnitConversions::InhgHpaConversion(29.92, false), 29.92 / 0.0295333727);
}

TEST(UnitConversions, MassUsesTwoConstantsThatAreNotReciprocal) {
  EXPECT_EQ(UnitConversions::LbsKgsConversion(1.0, false), 0.4535924);
  EXPECT_EQ(UnitConversions::LbsKgsConversion(1.0, true), 2.20462262);
  const double dThereAndBack =
      UnitConversions::LbsKgsConversion(UnitConversions::LbsKgsConversion(1.0, true), false);
  EXPECT_NE(dThereAndBack, 1.0);
  EXPECT_NEAR(dThereAndBack, 1.000000065, 1e-9);
}

TEST(UnitConversions, InputsAreNotChecked) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(UnitConversions::FehCelConversion(-inf, true), -inf);
  EXPECT_EQ(UnitConversions::FtMeterConversion(inf, false), inf);
  EXPECT_EQ(UnitConversions::LbsKgsConversion(-2.0, false), -2.0 * 0.4535924);
  EXPECT_TRUE(std::isnan(UnitConversions::InhgHpaConversion(std::nan(""), true)));
  EXPECT_EQ(UnitConversions::InchMillimeterConversion(0.0, false), 0.0);
}
