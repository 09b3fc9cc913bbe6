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

const double dFahrenheitPerCelsiusNum = 9.0;
const double dFahrenheitPerCelsiusDen = 5.0;
const double dFahrenheitOffset = 32.0;
const double dCelsiusPerFahrenheit = 0.5555555555555556;  // the double nearest 5/9
const double dFeetPerMetre = 3.2808399;
const double dInchesPerMillimetre = 0.0393701;
const double dInchesOfMercuryPerHectopascal = 0.0295333727;
const double dPoundsPerKilogram = 2.20462262;
const double dKilogramsPerPound = 0.4535924;  // not 1 / dPoundsPerKilogram

}  // namespace

double UnitConversions::FehCelConversion(double value, bool flag) {
  if (flag) {
    double d = value * dFahrenheitPerCelsiusNum;
    d = d / dFahrenheitPerCelsiusDen;
    return d + dFahrenheitOffset;
  }
  const double d = value - dFahrenheitOffset;
  return d * dCelsiusPerFahrenheit;
}

double UnitConversions::FtMeterConversion(double value, bool flag) {
  return flag ? value * dFeetPerMetre : value / dFeetPerMetre;
}

double UnitConversions::InchMillimeterConversion(double value, bool flag) {
  return flag ? value * dInchesPerMillimetre : value / dInchesPerMillimetre;
}

double UnitConversions::InhgHpaConversion(double value, bool flag) {
  return flag ? value * dInchesOfMercuryPerHectopascal : value / dInchesOfMercuryPerHectopascal;
}

double UnitConversions::LbsKgsConversion(double value, bool flag) {
  return flag ? value * dPoundsPerKilogram : value * dKilogramsPerPound;
}

}  // namespace Brimsel
