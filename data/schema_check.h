// The check made when the database is opened: the file must read as an undamaged SQLite
// database holding every table and view the program's statements use, with the columns they
// name (in their fixed order for the tables read with "Select *"). Only reads: the file is
// never changed, whatever it holds.
#pragma once

#include "data/database.h"

namespace kivo::data {

// Throws TDISQLite3Error saying what is wrong: SQLite's message for a file that is not a
// database, damaged or locked for longer than the busy retry waits, or the missing table, view
// or column.
void CheckDatabase(TDISQLite3Database& database);

}  // namespace kivo::data
