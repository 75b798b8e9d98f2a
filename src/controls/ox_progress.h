// TOxProgress100: a TOxMsg that shows activity as a row of bar characters.
// The bar starts as 100 "|" and loses one per Step; the step after the bar
// became empty fills it again with 100. It shows activity, not a percentage.
//
// RunWithIndexProgress shows one of these, captioned "Indexing <file>...",
// while an index is built: the build's progress hook (called every 100
// records) is to be pointed at the step callback handed to `work`.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "controls/ox_msg.h"

namespace orvex {

class TOxProgress100 : public TOxMsg {
 public:
  static constexpr int kBars = 100;

  // Captioned "Progress"; shows nothing until the first Step.
  explicit TOxProgress100(QWidget* owner = nullptr);
  // With the given caption; shows the full bar at once.
  TOxProgress100(QWidget* owner, std::string_view caption_ansi);

  void Step();
  const std::string& Bar() const { return bar_; }

 private:
  std::string bar_;
};

// Runs `work` while a TOxProgress100 captioned "Indexing " + index_file_ansi +
// "..." is shown over the active window. `work` receives the callback that
// advances the bar by one step. The window is freed when `work` returns or
// throws (the exception passes on).
void RunWithIndexProgress(std::string_view index_file_ansi,
                          const std::function<void(const std::function<void()>& step)>& work);

// Points the table component's index builds (SetIndexProgressHook) at
// RunWithIndexProgress: from then on every build shows its progress window.
void ShowIndexProgressWindows();

}  // namespace orvex
