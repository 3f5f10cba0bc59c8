// The double-precision power function of the palette transform. All of the
// transform's powers go through this one function, so that every build
// computes the same bits: it uses only + - * / and bit operations on doubles
// (no runtime library, no fused multiply-add, no extended precision).
#pragma once

// x raised to y, for x >= 0 and finite y > 0. Within 0.52 units in the last
// place and correctly rounded in all but about 2 of 10 million cases for
// y <= 8 (the transform uses 2.2 and 1/2.2, as floats); above 8 the error
// grows slowly with y (measured: 0.50002 units for y up to 1024).
// balancePow(0, y) = 0, balancePow(1, y) = 1, balancePow(+inf, y) = +inf;
// a negative or NaN x gives NaN. Results beyond the double range give +inf or
// 0; results in the subnormal range may be one subnormal step off.
double balancePow(double x, double y);
