// Fills the table engine's IndexEngine entry points with the index engine's
// operations. Runs from a static initialiser at program start; tests call it
// again after ResetEntryPoints.
#pragma once

namespace orvex {

void InstallIndexEngine();

// Puts the index engine's process-wide settings and states back to their
// start-up values (tests): search settings, open mode, sort budget,
// progress callback, the flush switch, semaphore states.
void ResetIndexSettings();

}  // namespace orvex
