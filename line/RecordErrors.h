#pragma once

#include <stdexcept>

namespace qv {

// What the record keeping was given cannot serve (a database URL, a serial format, a log
// file): found before anything is sent to a board.
class RecordsRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A database that could not do what was asked: the connection, the statement and why.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The database server could not be reached or stopped answering: what was asked may succeed
// once it is back, unlike a statement the database refused.
class DatabaseUnreachable : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// Another live station holds the name a station starts under.
class StationRunning : public RecordsRefused {
public:
    using RecordsRefused::RecordsRefused;
};

}  // namespace qv
