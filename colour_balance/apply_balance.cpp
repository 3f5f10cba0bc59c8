#include "apply_balance.h"

#include "palette_exchange.h"
#include "palette_transform.h"
#include "slider_state.h"

bool transformBusy = false;

void applyBalance(bool force) {
    // The send waits for the host with the message queue pumped, so slider
    // movements arrive here while an apply is running; they are dropped.
    if (transformBusy && !force) return;
    transformBusy = true;
    if (sourcePalette && workingPalette)
        rebalancePalette(sourcePalette, workingPalette, paletteBytes, currentSliderState(),
                         balanceSettings.preserveBrightness);
    sendPalette();
    transformBusy = false;
}
