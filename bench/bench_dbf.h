// The table component's part the benchmarks need: the table opened
// exclusively, or shared (deny none, as the table component opens it by
// default) after SetShared(true); the benchmarks never write through the
// dataset.
#pragma once

#include <string>

#include "common/errors.h"
#include "dataset/ox_data_set.h"
#include "engine/tables.h"

namespace orvex::bench {

class BenchDbf : public TOxDataSet {
 public:
  using TOxDataSet::TOxDataSet;
  void SetShared(bool shared) { shared_ = shared; }

 protected:
  bool OpenTable(const std::string& name) override {
    USE(shared_ ? name : name + " EXCLUSIVE");
    return DbfErrorNo == 0;
  }
  void s_AppendWithLock() override {}
  void s_DeleteWithLock() override {}
  void s_RestoreWithLock() override {}
  void s_ReplaceWithLock() override {}

 private:
  bool shared_ = false;
};

}  // namespace orvex::bench
