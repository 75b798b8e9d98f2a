#include "index/transaction.h"

#include "common/errors.h"
#include "engine/engine_text.h"
#include "engine/entry_points.h"
#include "index/index_file.h"
#include "index/index_journal.h"

namespace orvex {

namespace {

// The index of the current table, or null after reporting 221.
IndexFile* TransactionIndex(const char* routine) {
  DbfErrorNo = 0;
  WorkArea* table = RequireTable(routine);
  if (table == nullptr) return nullptr;
  IndexFile* index = IndexOf(CurrentArea);
  if (index == nullptr) {
    SetError(221, Ansi("Index nicht geöffnet. (DBF=") + table->file_name + ") [" + routine + "]");
  }
  return index;
}

// Ends the current table's transaction; `routine` names the caller.
void EndWith(bool keep, const char* routine) {
  IndexFile* index = TransactionIndex(routine);
  if (index == nullptr) return;
  switch (index->transaction) {
    case IndexFile::Transaction::kNone:
      SetError(228, Ansi("Keine Transaktion begonnen: ") + index->Table().file_name + " [" +
                        routine + "]");
      return;
    case IndexFile::Transaction::kFailed:
      LeaveTransactionUnit(*index, false);
      // A roll-back asked for is what happened already.
      if (keep) {
        SetError(1103, Ansi("Transaktion nach einem Fehler zurückgenommen: ") +
                           index->Table().file_name + " [" + routine + "]");
      }
      return;
    case IndexFile::Transaction::kOpen:
      LeaveTransactionUnit(*index, keep);
      ReportPendingError();
      return;
  }
}

}  // namespace

void BeginTransaction() {
  IndexFile* index = TransactionIndex("BeginTransaction");
  if (index == nullptr) return;
  if (index->transaction != IndexFile::Transaction::kNone) {
    SetError(228, Ansi("Transaktion schon begonnen: ") + index->Table().file_name +
                      " [BeginTransaction]");
    return;
  }
  const int area = CurrentArea;
  KeyedWriteBracket(area, true);
  if (DbfErrorNo != 0) {
    ReportPendingError();
    return;
  }
  index->transaction = IndexFile::Transaction::kOpen;
  // The bracket holds errors back while it is entered; between the
  // transaction's commands the caller's setting holds.
  SetAutoReport(index->auto_reports.back());
}

void EndTransaction() { EndWith(true, "EndTransaction"); }

void RollbackTransaction() { EndWith(false, "RollbackTransaction"); }

bool InTransaction() {
  IndexFile* index = IndexOf(CurrentArea);
  return index != nullptr && index->transaction != IndexFile::Transaction::kNone;
}

}  // namespace orvex
