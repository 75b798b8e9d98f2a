// A dataset over a list of integers held in memory: the smallest subclass
// that implements the framework's virtual operations, for testing the
// framework alone. Buffer: value (4 bytes), list index as bookmark (4),
// bookmark flag (1), then the calculated fields.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/data/data_set.h"

namespace orvex::test {

class MemoryDataSet : public data::TDataSet {
 public:
  explicit MemoryDataSet(std::vector<std::int32_t> values)
      : data::TDataSet("Memory"), values_(std::move(values)) {}
  ~MemoryDataSet() override { DestroyDataSet(); }
  std::vector<std::int32_t> values_;
  bool read_only = false;
  int fetches = 0;

  bool BookmarkValid(const std::uint8_t* b) override {
    return b != nullptr && Index(b) >= 0 && Index(b) < static_cast<int>(values_.size());
  }
  int CompareBookmarks(const std::uint8_t* b1, const std::uint8_t* b2) override {
    if (b1 == nullptr || b2 == nullptr) return b1 == b2 ? 0 : 1;
    return Index(b1) < Index(b2) ? -1 : Index(b1) > Index(b2) ? 1 : 0;
  }
  int GetRecordCount() override { return static_cast<int>(values_.size()); }

 protected:
  static constexpr int kFlag = 8;
  static int Index(const void* b) {
    std::int32_t i;
    std::memcpy(&i, b, 4);
    return i;
  }
  int Size() const { return static_cast<int>(values_.size()); }
  data::RecordBuffer AllocRecordBuffer() override {
    return new std::uint8_t[static_cast<std::size_t>(9 + CalcFieldsSize())]();
  }
  void FreeRecordBuffer(data::RecordBuffer& b) override {
    delete[] b;
    b = nullptr;
  }
  void GetBookmarkData(data::RecordBuffer b, void* data) override { std::memcpy(data, b + 4, 4); }
  void SetBookmarkData(data::RecordBuffer b, const void* data) override {
    std::memcpy(b + 4, data, 4);
  }
  data::TBookmarkFlag GetBookmarkFlag(data::RecordBuffer b) override {
    return static_cast<data::TBookmarkFlag>(b[kFlag]);
  }
  void SetBookmarkFlag(data::RecordBuffer b, data::TBookmarkFlag f) override {
    b[kFlag] = static_cast<std::uint8_t>(f);
  }
  data::TGetResult GetRecord(data::RecordBuffer b, data::TGetMode mode, bool) override {
    if (mode == data::TGetMode::gmNext) {
      if (pos_ + 1 >= Size()) {
        pos_ = Size();
        return data::TGetResult::grEOF;
      }
      ++pos_;
    } else if (mode == data::TGetMode::gmPrior) {
      if (pos_ - 1 < 0) {
        pos_ = -1;
        return data::TGetResult::grBOF;
      }
      --pos_;
    } else if (pos_ < 0 || pos_ >= Size()) {
      return data::TGetResult::grError;
    }
    ++fetches;
    std::memcpy(b, &values_[static_cast<std::size_t>(pos_)], 4);
    std::memcpy(b + 4, &pos_, 4);
    b[kFlag] = 0;
    GetCalcFields(b);
    return data::TGetResult::grOK;
  }
  int GetRecordSize() override { return 4; }
  void InternalAddRecord(const std::uint8_t* b, bool) override {
    std::int32_t v;
    std::memcpy(&v, b, 4);
    values_.push_back(v);
    pos_ = Size() - 1;
  }
  void InternalOpen() override {
    open_ = true;
    FieldDefs().Clear();
    FieldDefs().Add("VALUE", data::TFieldType::ftInteger, 0, false, 1);
    if (DefaultFields()) CreateFields();
    BindFields(true);
    SetBookmarkSize(4);
    pos_ = -1;
  }
  void InternalClose() override {
    if (DefaultFields()) DestroyFields();
    open_ = false;
  }
  bool IsCursorOpen() override { return open_; }
  void InternalInitFieldDefs() override {}
  void InternalFirst() override { pos_ = -1; }
  void InternalLast() override { pos_ = Size(); }
  void InternalGotoBookmark(const void* b) override { pos_ = Index(b); }
  void InternalSetToRecord(data::RecordBuffer b) override { pos_ = Index(b + 4); }
  void InternalInitRecord(data::RecordBuffer b) override {
    std::memset(b, 0, static_cast<std::size_t>(9 + CalcFieldsSize()));
  }
  void InternalPost() override {
    std::int32_t v;
    std::memcpy(&v, ActiveBuffer(), 4);
    if (State() == data::TDataSetState::dsEdit) {
      values_[static_cast<std::size_t>(pos_)] = v;
    } else {
      const bool append = GetBookmarkFlag(ActiveBuffer()) == data::TBookmarkFlag::bfEOF;
      const int at = append ? Size() : std::clamp(Index(ActiveBuffer() + 4), 0, Size());
      values_.insert(values_.begin() + at, v);
      pos_ = at;
    }
  }
  void InternalDelete() override {
    values_.erase(values_.begin() + pos_);
    if (pos_ >= Size()) pos_ = Size() - 1;
  }
  bool GetFieldData(data::TField* field, void* buffer) override {
    data::RecordBuffer b =
        State() == data::TDataSetState::dsCalcFields ? CalcBuffer() : ActiveBuffer();
    if (IsEmpty() && State() == data::TDataSetState::dsBrowse) return false;
    const std::uint8_t* from =
        field->FieldKind() == data::TFieldKind::fkCalculated ? b + 9 + field->Offset() : b;
    if (field->FieldKind() == data::TFieldKind::fkCalculated && *from++ != 0) return false;
    if (buffer != nullptr) std::memcpy(buffer, from, static_cast<std::size_t>(field->DataSize()));
    return true;
  }
  void SetFieldData(data::TField* field, const void* buffer) override {
    data::RecordBuffer b =
        State() == data::TDataSetState::dsCalcFields ? CalcBuffer() : ActiveBuffer();
    std::uint8_t* to = b;
    if (field->FieldKind() == data::TFieldKind::fkCalculated) {
      to = b + 9 + field->Offset();
      *to++ = buffer == nullptr ? 1 : 0;
    }
    if (buffer != nullptr) std::memcpy(to, buffer, static_cast<std::size_t>(field->DataSize()));
    if (State() != data::TDataSetState::dsCalcFields)
      DataEvent(data::TDataEvent::deFieldChange, data::FieldInfo(field));
  }
  bool GetCanModify() override { return !read_only; }

 private:
  bool open_ = false;
  int pos_ = -1;
};

}  // namespace orvex::test
