// The memo store's entry points in the engine's table (engine/entry_points.h):
// filled when the program starts, so that USE, CreateDbf, closing and the
// expression engine reach the memo store without including its headers.
#pragma once

namespace orvex {

// Fills MemoStore with the memo store's operations (done at start-up; tests
// call it again after ResetEntryPoints).
void InstallMemoStore();

}  // namespace orvex
