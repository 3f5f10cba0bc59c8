#include "apply_balance.h"

#include "palette_exchange.h"
#include "palette_transform.h"
#include "slider_state.h"

bool transformBusy = false;
bool settingsChanged = false;

void applyBalance(bool force) {
    // The send waits for the host with the message queue pumped, so calls
    // arrive here while an apply is running; unforced ones are dropped.
    if (transformBusy && !force) return;
    transformBusy = true;
    // This apply sends the settings as they are now.
    settingsChanged = false;
    if (sourcePalette && workingPalette)
        rebalancePalette(sourcePalette, workingPalette, paletteBytes, currentSliderState(),
                         balanceSettings.preserveBrightness);
    if (!sendPalette()) settingsChanged = false;  // the movements made meanwhile are not tried again
    transformBusy = false;
}
