// The one road from a slider change to the host: rebuild the working palette
// from the source palette with the current slider state, then send it.
#pragma once

extern bool transformBusy;  // set while an apply runs (it waits for the host)

// Unforced calls (slider movements) are dropped while an apply is running;
// forced calls (clicks, commands, state operations) always run.
void applyBalance(bool force);
