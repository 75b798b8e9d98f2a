// Fills the table engine's expression entry points (compile, free, evaluate,
// result type, evaluate a key expression, value to text) and marks the
// expression engine present. Runs by itself when the program starts; tests
// that empty the engine's tables call it again.
#pragma once

namespace orvex {

void RegisterExpressionEngine();

}  // namespace orvex
