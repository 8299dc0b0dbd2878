#include "orvane_utils/OrvaneTabulatedSpectralData.h"

#include <utility>

#include "orvane_utils/OrvaneXMLWriteUtils.h"

namespace Orvane {

OrvaneTabulatedSpectralData::OrvaneTabulatedSpectralData(double start_wavelength_, double end_wavelength_,
                                                         int32_t num_rows_, int32_t num_columns_,
                                                         std::vector<double> values_)
    : start_wavelength(start_wavelength_),
      end_wavelength(end_wavelength_),
      num_rows(num_rows_),
      num_columns(num_columns_),
      values(std::move(values_)) {}

OrvaneTabulatedSpectralData::~OrvaneTabulatedSpectralData() = default;

int64_t OrvaneTabulatedSpectralData::valueCount(int32_t num_rows, int32_t num_columns) {
  if (num_rows <= 0 || num_columns <= 0) return 0;
  // Both factors are below 2^31, so the product is below 2^62.
  return static_cast<int64_t>(num_rows) * static_cast<int64_t>(num_columns);
}

int64_t OrvaneTabulatedSpectralData::valueCount() const { return valueCount(num_rows, num_columns); }

void OrvaneTabulatedSpectralData::writeXML(std::ostream& os, unsigned int depth) const {
  XMLWriteUtils::writeNumberElement(os, depth + 1, "start_wavelength", start_wavelength);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "end_wavelength", end_wavelength);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "num_rows", num_rows);
  XMLWriteUtils::writeNumberElement(os, depth + 1, "num_columns", num_columns);
  XMLWriteUtils::writeValuesLine(os, depth + 1, values);
}

}  // namespace Orvane
