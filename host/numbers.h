/*
 * Number conversions for values that cross the host boundary: script
 * numbers are doubles, the records and Expat take 32-bit integers.
 */
#ifndef VELLORAN_HOST_NUMBERS_H
#define VELLORAN_HOST_NUMBERS_H

#include <stdint.h>

/* Truncates toward zero and saturates at the limits of int32_t; NaN gives 0. */
inline int32_t saturateToInt32(double value) {
  if (!(value == value))
    return 0;
  if (value >= 2147483647.0)
    return INT32_MAX;
  if (value <= -2147483648.0)
    return INT32_MIN;
  return static_cast<int32_t>(value);
}

#endif
