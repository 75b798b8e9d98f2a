// TOxDataLink: the data link of the library's controls. It keeps the
// distance of the last scroll it was told about, so that a control deriving
// from it can see how far its rows moved after calling this class's
// DataSetScrolled.
#pragma once

#include "platform/data/data_link.h"

namespace orvex {

class TOxDataLink : public data::TDataLink {
 public:
  int ScrollDistance() const { return scroll_distance_; }

 protected:
  void DataSetScrolled(int distance) override {
    scroll_distance_ = distance;
    data::TDataLink::DataSetScrolled(distance);
  }

 private:
  int scroll_distance_ = 0;
};

}  // namespace orvex
