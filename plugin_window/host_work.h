// Everything the plugin asks of the host, and the one rule for when it may
// run. Every wait for the host pumps the thread's messages, and so does every
// modal loop, so clicks, commands and slider movements arrive while the host
// is busy or a dialog is open. What they want of the host is owed here and
// runs once nothing holds it, in the order it was asked for: a fetch before
// the apply that follows it, and any number of owed applies as one apply
// with the settings as they are then.
#pragma once

#include <windows.h>

#include <cstdint>

#include "slider_state.h"

// An owed apply. A slider movement owes a movement apply, which sends
// nothing when the settings equal those of the last palette tried; a click
// or command owes a forced one, which always sends.
enum OwedApply { NoApplyOwed, MovementApplyOwed, CommandApplyOwed };

// What the last apply that reached the send tried to give the host, whether
// or not the send succeeded: after a success the host holds it, after a
// failure that change has had its one try.
struct SentSettings {
    bool tried;                  // false until the first send
    SliderState state;
    bool preserveBrightness;
    uint32_t paletteGeneration;  // the source palette it was made from
};

struct HostWork {
    bool transformBusy;    // an apply runs (it waits for the host)
    bool fetchOwed;        // a "Get New Palette"; the apply after it is owed with it
    OwedApply applyOwed;   // a forced apply wins over a movement's
    bool requestPosted;    // kRunOwedHostWorkMessage is on its way to the main window
    int modalLoops;        // the plugin's own dialogs and boxes open, nested
    SentSettings lastSent;
};
extern HostWork hostWork;

// The one busy rule: true while owed work may not start. An apply or another
// exchange with the host runs, a modal loop of the plugin's own is open, or
// the program is ending.
bool hostWorkMustWait();
// True while work for the host is owed, on its way or running: the host does
// not yet have everything the window asked for.
bool hostWorkOutstanding();

// Rebuilds the working palette from the source palette with the current
// slider state and sends it, at once when nothing holds the host and no
// fetch is owed ahead of it; otherwise the apply is owed. An unforced apply
// whose settings, brightness mode and source palette equal those of the last
// palette tried sends nothing.
void applyBalance(bool force);
// A slider movement changed the settings: the next apply that runs sends them.
void oweMovementApply();
// "Get New Palette(+keep state)": the fetch, then a forced apply.
void getNewPaletteKeepingState();
// "Get New Palette(+reset)": both states are reset and shown at once; the
// fetch and one forced apply with the settings of then follow.
void getNewPaletteAndReset();
// Runs the owed work while nothing holds it: an owed fetch, then the owed
// apply. Returns at once while something holds it; its end runs the work.
void runOwedHostWork();
// Posts kRunOwedHostWorkMessage (plugin_window.h) to `window` unless it is on its way already.
void requestOwedHostWork(HWND window);

// Brackets a modal loop of the plugin's own (a file dialog, the About box, a
// box of its own): owed work waits while one is open. When the outermost
// closes, work owed meanwhile is requested from `window`.
void beginModalLoop();
void endModalLoop(HWND window);

// The exit command: nothing owed is sent any more, and nothing new starts.
void endHostWork();
