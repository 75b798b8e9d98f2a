#include "controls/ox_progress.h"

#include <QApplication>
#include <memory>

#include "dataset/dataset_settings.h"

namespace orvex {

TOxProgress100::TOxProgress100(QWidget* owner) : TOxMsg(owner), bar_(kBars, '|') {
  SetCaption("Progress");
}

TOxProgress100::TOxProgress100(QWidget* owner, std::string_view caption_ansi)
    : TOxMsg(owner), bar_(kBars, '|') {
  SetCaption(caption_ansi);
  ShowText(bar_);
}

void TOxProgress100::Step() {
  if (bar_.empty()) {
    bar_.assign(kBars, '|');
  } else {
    bar_.erase(0, 1);
  }
  ShowText(bar_);
}

void RunWithIndexProgress(std::string_view index_file_ansi,
                          const std::function<void(const std::function<void()>& step)>& work) {
  const std::string caption = "Indexing " + std::string(index_file_ansi) + "...";
  auto window = std::make_unique<TOxProgress100>(QApplication::activeWindow(), caption);
  work([&window] { window->Step(); });
}

void ShowIndexProgressWindows() {
  SetIndexProgressHook([](const std::string& index_file, const IndexProgressWork& work) {
    RunWithIndexProgress(index_file, work);
  });
}

}  // namespace orvex
