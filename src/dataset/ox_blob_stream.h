// TOxBlobStream: the contents of a memo field of the current record as a
// stream, over the memo store's BLOB access (memo/blob.h). The memo store
// holds one open BLOB per work area, so a stream must be destroyed before
// the next one of the same table is created.
//
// A read stream reads the memo the field's slot names. A write stream
// starts a new memo at once and puts its block number into the active
// buffer's slot; destroying it finishes the memo, writes the whole active
// buffer into the work area (putting the dataset into edit state first)
// and raises the field-change event. A write stream destroyed without
// having written anything clears the memo (block number 0). The table sees
// the change when the dataset posts the record.
//
// A field that is not a table field gives an inert stream that reads and
// writes nothing. Memo store failures are reported by it; the stream then
// answers 0 bytes.
#pragma once

#include <cstdint>

#include "platform/data/field.h"
#include "platform/data/stream.h"

namespace orvex {

class TOxFileDataSet;

class TOxBlobStream : public data::TStream {
 public:
  // `translate`: convert between the file's OEM text and the program's
  // characters.
  TOxBlobStream(data::TField* field, data::TBlobStreamMode mode, bool translate);
  ~TOxBlobStream() override;
  TOxBlobStream(const TOxBlobStream&) = delete;
  TOxBlobStream& operator=(const TOxBlobStream&) = delete;

  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int64_t Seek(std::int64_t offset, int origin) override;

 private:
  // A write stream's end: the new memo's reference into the record, the
  // dataset put into edit state first. When the dataset refuses that, the
  // active buffer gets its old reference back and the refusal goes on.
  void FinishWrite();
  bool Usable(const char* routine);
  std::int32_t Block() const;
  void SetBlock(std::int32_t block);

  data::TField* field_;
  TOxFileDataSet* data_set_;
  std::int32_t old_block_ = 0;  // a write stream's record reference before it
  bool modified_ = false;
  bool inert_ = true;
  data::TBlobStreamMode mode_;
};

}  // namespace orvex
