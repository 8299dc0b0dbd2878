// OrvaneTabulatedSpectralData: a two-dimensional table over wavelength, held by
// the specular material's tabulated coefficients. Not a spectrum.
//
// The wavelengths are in metres (no conversion either way). values holds
// num_rows x num_columns entries in file order. As the parser builds it, rows
// and columns each lie in 2 .. 1,000,000, so the product reaches 10^12: it does
// not fit in 32 bits, and storage for it cannot be reserved up front. Use
// valueCount() (64-bit) for the product, and let values grow with the numbers
// actually read instead of reserving valueCount() entries. The constructor
// takes the values as given and never sizes the storage from the product.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "utils/refcounted.h"

namespace Orvane {

class OrvaneTabulatedSpectralData : public RefCounted {
 public:
  // An object held by nobody (count 0), with the given field values.
  OrvaneTabulatedSpectralData(double start_wavelength, double end_wavelength, int32_t num_rows,
                              int32_t num_columns, std::vector<double> values);
  // Deleted by the last handle that lets go.
  ~OrvaneTabulatedSpectralData() override;

  // num_rows x num_columns, formed in 64 bits. Negative counts give 0.
  static int64_t valueCount(int32_t num_rows, int32_t num_columns);
  // valueCount(num_rows, num_columns) of this table.
  int64_t valueCount() const;

  // No element of its own: at depth + 1 "start_wavelength", "end_wavelength",
  // "num_rows", "num_columns" inline, then the values line.
  virtual void writeXML(std::ostream& os, unsigned int depth) const;

  double start_wavelength;     // m
  double end_wavelength;       // m
  int32_t num_rows;            // number of rows
  int32_t num_columns;         // number of columns
  std::vector<double> values;  // the samples, in file order
};

}  // namespace Orvane
