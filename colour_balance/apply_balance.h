// The one road from a slider change to the host: rebuild the working palette
// from the source palette with the current slider state, then send it.
#pragma once

extern bool transformBusy;  // set while an apply runs (it waits for the host)

// Set by a slider movement whose settings no apply has read yet. An apply
// clears it when it reads the settings, so a movement made during its wait
// sets it again; a failed send clears it as well, so that a failing host is
// asked again only at the next user change.
extern bool settingsChanged;

// Unforced calls (the applies that slider movements ask for) are dropped
// while an apply is running; forced calls (clicks, commands, state
// operations) always run.
void applyBalance(bool force);
