// SPDX-License-Identifier: MIT
/// \file
/// UnitConversions, between metric units and imperial or US customary ones.
#ifndef BRIMSEL_UNITCONVERSIONS_H
#define BRIMSEL_UNITCONVERSIONS_H

#include <brimsel/export.h>

namespace Brimsel {

/// Conversions between metric units and imperial or US customary ones.
///
/// In each function's name the first unit is the imperial one: `flag` true
/// converts into it from the metric unit, false converts out of it into the
/// metric unit. The arithmetic is IEEE double precision in a fixed order with
/// fixed constants, so results are reproducible to the last bit.
///
/// The two mass constants are not reciprocal, so a mass converted there and
/// back is off by about 6.5e-8 of itself. Inputs are not checked: negative
/// values, infinities and NaN go through the formula. Nothing here throws or
/// keeps state.
class BRIMSEL_API UnitConversions {
 public:
  /// Temperature. `flag` true, Celsius to Fahrenheit:
  /// `value * 9.0 / 5.0 + 32.0`; false, Fahrenheit to Celsius:
  /// `(value - 32.0) * 0.5555555555555556`.
  static double FehCelConversion(double value, bool flag);
  /// Length. `flag` true, metres to feet: `value * 3.2808399`; false, feet to
  /// metres: `value / 3.2808399`.
  static double FtMeterConversion(double value, bool flag);
  /// Length. `flag` true, millimetres to inches: `value * 0.0393701`; false,
  /// inches to millimetres: `value / 0.0393701`.
  static double InchMillimeterConversion(double value, bool flag);
  /// Pressure. `flag` true, hectopascals to inches of mercury:
  /// `value * 0.0295333727`; false, inches of mercury to hectopascals:
  /// `value / 0.0295333727`.
  static double InhgHpaConversion(double value, bool flag);
  /// Mass. `flag` true, kilograms to pounds: `value * 2.20462262`; false,
  /// pounds to kilograms: `value * 0.4535924`.
  static double LbsKgsConversion(double value, bool flag);
};

}  // namespace Brimsel

#endif  // BRIMSEL_UNITCONVERSIONS_H
