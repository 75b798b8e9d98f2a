// TryFinally(body, cleanup): runs body, then cleanup, also when body throws
// (the body's exception then goes on; a failure of the cleanup on that path
// is dropped so that it cannot hide the first one). The framework's
// operations promise their closing events and flags on every path.
#pragma once

namespace orvex::data {

template <typename Body, typename Cleanup>
void TryFinally(Body body, Cleanup cleanup) {
  try {
    body();
  } catch (...) {
    try {
      cleanup();
    } catch (...) {
    }
    throw;
  }
  cleanup();
}

}  // namespace orvex::data
