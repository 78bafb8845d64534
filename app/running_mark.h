// The mark a running saver holds for its whole run, seen from every session
// where the system has sessions: a start finds by it a saver running where its
// window cannot be seen (another session, the logon screen's desktop).
#pragma once

// Holds the mark for the rest of the process, which releases it however the
// run ends; true when another saver held it already.
bool holdRunningSaverMark();

// Whether a saver holds the mark, of this account or another.
bool aSaverRunsAnywhere();
