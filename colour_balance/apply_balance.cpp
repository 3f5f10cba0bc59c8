#include "apply_balance.h"

#include "host_conversation.h"
#include "palette_exchange.h"
#include "palette_transform.h"
#include "slider_state.h"

bool transformBusy = false;
OwedApply applyOwed = NoApplyOwed;

bool applyMustWait() { return transformBusy || hostExchangeRunning(); }

void oweMovementApply() {
    if (applyOwed == NoApplyOwed) applyOwed = MovementApplyOwed;
}

void applyBalance(bool force) {
    if (applyMustWait()) {
        if (force) applyOwed = CommandApplyOwed;
        return;
    }
    transformBusy = true;
    // This apply sends the settings as they are now, so every apply owed so
    // far is done by it.
    applyOwed = NoApplyOwed;
    if (sourcePalette && workingPalette)
        rebalancePalette(sourcePalette, workingPalette, paletteBytes, currentSliderState(),
                         balanceSettings.preserveBrightness);
    if (!sendPalette() && applyOwed == MovementApplyOwed) applyOwed = NoApplyOwed;
    transformBusy = false;
}
