// The double-precision power function of the palette transform. All of the
// transform's powers go through this one function, so that every build
// computes the same bits: it uses only + - * / and bit operations on doubles
// (no runtime library, no fused multiply-add, no extended precision).
#pragma once

// x raised to y, for x >= 0 and finite y > 0, within 0.52 units in the last
// place and correctly rounded in all but a tiny fraction of cases.
// balancePow(0, y) = 0, balancePow(1, y) = 1, balancePow(+inf, y) = +inf;
// a negative or NaN x gives NaN. Results beyond the double range give +inf or
// 0; results in the subnormal range may be one subnormal step off.
double balancePow(double x, double y);
