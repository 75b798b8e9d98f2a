// Transactions: several record commands on one table as one unit, kept in
// full or not at all, and paid for once.
//
// A record command on a table with an index is a unit of its own
// (index_journal.h): its record and keys survive a kill once it returns,
// at the price of a journal, the index writes and an emptying of the
// journal per command. Inside a transaction the commands share one unit:
// each journals only the old bytes of records it changes that the unit
// does not hold yet (appends behind the table's old end need none), their
// index writes are held and written once, and the journal is emptied once,
// at EndTransaction. What a transaction changed is therefore kept as a
// whole, or, after a kill, a failed write or RollbackTransaction, not at
// all: a kill loses every command of a transaction that had not ended.
//
// The transaction belongs to the current area's table, which must have its
// index open (221 otherwise: the journal lives beside the index); a table
// has at most one (228 for a second BeginTransaction, and for an end
// without one). The writer's lock (the semaphore's LOCKSEMAPHORE) is held
// from BeginTransaction to its end, as for one long command: other
// programs that read or write through the index wait for it (each for at
// most SemaphoreLockWaitMs), so that none sees half of it. On a shared
// table, keep transactions short. Reads of this program see its own
// changes.
//
// A command in the transaction that fails (a full disk, an I/O error, a
// key refused) rolls the whole transaction back before its error is
// reported; the transaction then refuses every write (1103) until the
// caller ends it, and EndTransaction reports that it was rolled back
// (1103), so that no later command is taken for part of it. A change of
// the index (closing the table or its index, SetIndexTo, MakeIndex,
// Reindex, a tag added) ends an open transaction first, keeping it. A
// Replace made while ReplaceUpdatesIndexes is off keeps no keys and is not
// part of the transaction: its record is written at once and stays after a
// roll-back.
//
// All three report through SetError and leave DbfErrorNo set.
#pragma once

namespace orvex {

// Starts a transaction on the current area's table.
void BeginTransaction();

// Ends the transaction, keeping its changes: the held index writes and the
// table's header go into the files (flushed when FlushIndexWrites or
// FlushEachWrite ask for it) and the journal is emptied.
void EndTransaction();

// Ends the transaction, putting back every byte it changed in table and
// index; the record count and the current record are those of its start.
void RollbackTransaction();

// Whether the current area's table has a transaction open (or failed and
// not yet ended).
bool InTransaction();

}  // namespace orvex
