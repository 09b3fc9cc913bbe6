// SPDX-License-Identifier: MIT
#include <brimsel/unitconversions.h>

// Each step is its own statement and rounds to double: no compiler may fuse a
// multiply and an add into one instruction here, since that would change the
// last bit of the documented results.
#if defined(_MSC_VER)
#pragma fp_contract(off)
#endif

namespace Brimsel {

namespace {

const double kFahrenheitPerCelsiusNum = 9.0;
const double kFahrenheitPerCelsiusDen = 5.0;
const double kFahrenheitOffset = 32.0;
const double kCelsiusPerFahrenheit = 0.5555555555555556;  // the double nearest 5/9
const double kFeetPerMetre = 3.2808399;
const double kInchesPerMillimetre = 0.0393701;
const double kInchesOfMercuryPerHectopascal = 0.0295333727;
const double kPoundsPerKilogram = 2.20462262;
const double kKilogramsPerPound = 0.4535924;  // not 1 / kPoundsPerKilogram

}  // namespace

double UnitConversions::FehCelConversion(double value, bool flag) {
  if (flag) {
    double d = value * kFahrenheitPerCelsiusNum;
    d = d / kFahrenheitPerCelsiusDen;
    return d + kFahrenheitOffset;
  }
  const double d = value - kFahrenheitOffset;
  return d * kCelsiusPerFahrenheit;
}

double UnitConversions::FtMeterConversion(double value, bool flag) {
  return flag ? value * kFeetPerMetre : value / kFeetPerMetre;
}

double UnitConversions::InchMillimeterConversion(double value, bool flag) {
  return flag ? value * kInchesPerMillimetre : value / kInchesPerMillimetre;
}

double UnitConversions::InhgHpaConversion(double value, bool flag) {
  return flag ? value * kInchesOfMercuryPerHectopascal : value / kInchesOfMercuryPerHectopascal;
}

double UnitConversions::LbsKgsConversion(double value, bool flag) {
  return flag ? value * kPoundsPerKilogram : value * kKilogramsPerPound;
}

}  // namespace Brimsel
