#include "dataset/ox_blob_stream.h"

#include <cstring>
#include <limits>

#include "dataset/ox_file_data_set.h"
#include "memo/blob.h"
#include "platform/data/application.h"
#include "platform/data/try_finally.h"

namespace orvex {

using data::TBlobStreamMode;
using data::TDataSetState;

TOxBlobStream::TOxBlobStream(data::TField* field, TBlobStreamMode mode, bool translate)
    : field_(field), data_set_(static_cast<TOxFileDataSet*>(field->DataSet())), mode_(mode) {
  data_set_->DirectOpenClose(true);
  if (!data_set_->SelectArea("CreateBlobStream") || field_->FieldNo() < 1 ||
      data_set_->ActiveSlot(*field_) == nullptr)
    return;
  if (mode_ == TBlobStreamMode::bmRead) {
    CreateBlobDescriptor(translate, Block(), kBlobRead);
    inert_ = false;
    return;
  }
  old_block_ = Block();
  const std::int32_t block = CreateBlobDescriptor(translate, old_block_, kBlobWrite);
  // A memo that could not be started leaves the record's reference alone;
  // the stream then writes nothing (the memo store reported why).
  if (block == 0) return;
  SetBlock(block);
  inert_ = false;
}

// The descriptor is destroyed, and the memo file's write lock so released,
// on every path: also when the dataset refuses to enter edit state (the
// record then keeps its old memo reference).
TOxBlobStream::~TOxBlobStream() {
  try {
    if (!inert_ && data_set_->SelectArea("DestroyBlobStream")) {
      data::TryFinally(
          [&] {
            if (mode_ == TBlobStreamMode::bmWrite) FinishWrite();
          },
          [] { DestroyBlobDescriptor(); });
    }
  } catch (const std::exception& e) {
    data::HandleApplicationException(e);
  }
  if (modified_) {
    try {
      data_set_->FieldContentsChanged(field_);
    } catch (const std::exception& e) {
      data::HandleApplicationException(e);
    }
  }
  try {
    data_set_->DirectOpenClose(false);
  } catch (const std::exception& e) {
    data::HandleApplicationException(e);
  }
}

void TOxBlobStream::FinishWrite() {
  if (!modified_ && Block() != 0) {
    SetBlock(0);
    modified_ = true;
  }
  if (data_set_->State() != TDataSetState::dsEdit &&
      data_set_->State() != TDataSetState::dsInsert) {
    try {
      data_set_->Edit();
    } catch (...) {
      SetBlock(old_block_);
      modified_ = false;
      throw;
    }
  }
  data_set_->WriteEngineRecord(data_set_->ActiveBuffer(), -1);
}

bool TOxBlobStream::Usable(const char* routine) {
  return !inert_ && data_set_->SelectArea(routine);
}

std::int32_t TOxBlobStream::Block() const {
  std::int32_t block = 0;
  std::memcpy(&block, data_set_->ActiveSlot(*field_), 4);
  return block;
}

void TOxBlobStream::SetBlock(std::int32_t block) {
  std::memcpy(data_set_->ActiveSlot(*field_), &block, 4);
}

std::int32_t TOxBlobStream::Read(void* buffer, std::int32_t count) {
  if (!Usable("ReadBlobStream")) return 0;
  return ReadBlobStream(static_cast<char*>(buffer), count);
}

std::int32_t TOxBlobStream::Write(const void* buffer, std::int32_t count) {
  if (!Usable("WriteBlobStream")) return 0;
  const std::int32_t written = WriteBlobStream(static_cast<const char*>(buffer), count);
  if (written > 0) modified_ = true;
  return written;
}

std::int64_t TOxBlobStream::Seek(std::int64_t offset, int origin) {
  if (!Usable("SeekBlobStream")) return 0;
  constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
  const std::int64_t clamped = offset < -kLimit ? -kLimit : offset > kLimit ? kLimit : offset;
  return SeekBlobStream(static_cast<std::int32_t>(clamped), origin);
}

}  // namespace orvex
