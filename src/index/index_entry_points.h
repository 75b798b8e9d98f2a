// Fills the table engine's IndexEngine entry points with the index engine's
// operations. Runs from a static initialiser at program start; tests call it
// again after ResetEntryPoints. Key maintenance on record changes (before
// and after an edit, after an append) is not filled in yet: those entries
// stay empty, and the engine skips them.
#pragma once

namespace orvex {

void InstallIndexEngine();

// Puts the index engine's process-wide settings and states back to their
// start-up values (tests): search settings, open mode, sort budget,
// progress callback, semaphore states.
void ResetIndexSettings();

}  // namespace orvex
