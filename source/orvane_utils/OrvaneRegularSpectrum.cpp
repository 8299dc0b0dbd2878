#include "orvane_utils/OrvaneRegularSpectrum.h"

#include <utility>

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneRegularSpectrum::OrvaneRegularSpectrum(double start_wavelength_, double end_wavelength_,
                                             int32_t num_values_, std::vector<double> values_)
    : start_wavelength(start_wavelength_),
      end_wavelength(end_wavelength_),
      num_values(num_values_),
      values(std::move(values_)) {}

OrvaneRegularSpectrum::~OrvaneRegularSpectrum() = default;

int OrvaneRegularSpectrum::GetType() const { return TYPE; }

void OrvaneRegularSpectrum::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeOpenTag(os, depth, "regular_tabulated");
  XMLWriteUtils::writeNumberElement(os, depth + 1, "start_wavelength", start_wavelength * 1e-9);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "end_wavelength", end_wavelength * 1e-9);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "num_values", num_values);
  XMLWriteUtils::writeValuesLine(os, depth + 1, values);
  XMLWriteUtils::writeCloseTag(os, depth, "regular_tabulated");
}

}  // namespace Orvane
