// The mark a running saver holds for its whole run, seen from every session
// where the system has sessions: a start finds by it a saver running where its
// window cannot be seen (another session, the logon screen's desktop).
#pragma once

// The mark's name: the global one where the system has sessions (Windows
// 2000 and later); earlier systems know no prefix and refuse the backslash.
const char* runningSaverMarkName();

// Holds the mark for the rest of the process, which releases it however the
// run ends; true when another saver held it already, or may hold it (a name
// this saver cannot hold: runningMarkState).
bool holdRunningSaverMark();

// Whether a saver holds the mark, of this account or another, or may
// (markMayBeHeld).
bool aSaverRunsAnywhere();
