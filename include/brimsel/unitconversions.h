// UnitConversions: conversions between metric units and imperial or US
// customary ones.
//
// In each function's name the first unit is the imperial one: `flag` true
// converts into it from the metric unit, false converts out of it into the
// metric unit. The arithmetic is IEEE double precision in a fixed order with
// fixed constants, so results are reproducible to the last bit:
//
//   FehCelConversion          C -> F: value * 9.0 / 5.0 + 32.0
//                             F -> C: (value - 32.0) * 0.5555555555555556
//   FtMeterConversion         m -> ft: value * 3.2808399;   ft -> m: value / 3.2808399
//   InchMillimeterConversion  mm -> in: value * 0.0393701;  in -> mm: value / 0.0393701
//   InhgHpaConversion         hPa -> inHg: value * 0.0295333727; inHg -> hPa: value / 0.0295333727
//   LbsKgsConversion          kg -> lb: value * 2.20462262; lb -> kg: value * 0.4535924
//
// The two mass constants are not reciprocal, so a mass converted there and
// back is off by about 6.5e-8 of itself. Inputs are not checked: negative
// values, infinities and NaN go through the formula. Nothing here throws or
// keeps state.
#ifndef BRIMSEL_UNITCONVERSIONS_H
#define BRIMSEL_UNITCONVERSIONS_H

#include <brimsel/export.h>

namespace Brimsel {

class BRIMSEL_API UnitConversions {
 public:
  static double FehCelConversion(double value, bool flag);
  static double FtMeterConversion(double value, bool flag);
  static double InchMillimeterConversion(double value, bool flag);
  static double InhgHpaConversion(double value, bool flag);
  static double LbsKgsConversion(double value, bool flag);
};

}  // namespace Brimsel

#endif  // BRIMSEL_UNITCONVERSIONS_H
