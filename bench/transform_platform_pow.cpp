// The palette transform compiled a second time, inside a namespace of its own
// and with the platform's pow in place of balancePow: the baseline against
// which the benchmarks weigh the project's power function, in the same run.
// The headers are included first so that their include guards keep them out
// of the namespace; a new include in palette_transform.cpp must be added here.
#include <cmath>
#include <cstdint>

#include "balance_pow.h"
#include "palette_image.h"
#include "palette_transform.h"
#include "slider_state.h"

namespace with_platform_pow {

double balancePow(double x, double y) { return std::pow(x, y); }

#include "palette_transform.cpp"

}  // namespace with_platform_pow
