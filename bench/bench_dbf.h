// The table component's part the benchmarks need: the table opened
// exclusively; the benchmarks never write through the dataset.
#pragma once

#include <string>

#include "common/errors.h"
#include "dataset/ox_data_set.h"
#include "engine/tables.h"

namespace orvex::bench {

class BenchDbf : public TOxDataSet {
 public:
  using TOxDataSet::TOxDataSet;

 protected:
  bool OpenTable(const std::string& name) override {
    USE(name + " EXCLUSIVE");
    return DbfErrorNo == 0;
  }
  void s_AppendWithLock() override {}
  void s_DeleteWithLock() override {}
  void s_RestoreWithLock() override {}
  void s_ReplaceWithLock() override {}
};

}  // namespace orvex::bench
