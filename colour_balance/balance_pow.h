// The double-precision power function of the palette transform. All of the
// transform's powers go through this one function, so that every build
// computes the same bits. Defined for x >= 0 and y > 0; balancePow(0, y) = 0.
#pragma once

double balancePow(double x, double y);
