// The one road from a slider change to the host: rebuild the working palette
// from the source palette with the current slider state, then send it.
#pragma once

extern bool transformBusy;  // set while an apply runs (it waits for the host)

// An apply asked for while the host was busy with another exchange. It is
// sent once that exchange has ended, once, with the settings as they are
// then: many owed applies collapse into one. A slider movement owes one as
// it is made (its apply runs after the trackbar's notification); a click or
// command owes one when its forced apply finds the host busy. A failed send
// forgets the movements made during it, so that a failing host is asked
// again only at the next change, but keeps a click's or command's apply: that
// change has not been tried yet.
enum OwedApply { NoApplyOwed, MovementApplyOwed, CommandApplyOwed };
extern OwedApply applyOwed;

// True while an apply runs or another exchange with the host does: an apply
// asked for now is owed, not run.
bool applyMustWait();

// Marks the settings changed by a slider movement; they are sent by the next
// apply that runs.
void oweMovementApply();

// Runs the apply when the host is free. While another exchange runs (the
// call came from a handler run by that exchange's wait) nothing is sent: a
// forced call owes its apply, an unforced one is dropped, since the movement
// that asked for it owed its apply already.
void applyBalance(bool force);
