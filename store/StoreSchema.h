#pragma once

#include "store/PgConnection.h"

// The store's tables, made and moved forward by the program: the first use
// by a user who may create tables makes them, a later version of the
// program brings them to its version, in order, one step at a time.
namespace StoreSchema {

// What the caller is about to do, and so which rights it needs.
enum class Use
{
    Forward, // INSERT and SELECT on the records
    Read     // SELECT on the records and the latest-result view
};

// The newest version this program knows.
[[nodiscard]] int latestVersion();

// Makes or migrates the tables when needed, then checks the rights use
// needs. A failure is Refused (a wrong setting: say so and stop) or
// Unreachable (the server went away meanwhile).
[[nodiscard]] PgConnection::Outcome prepare(PgConnection &connection, Use use);

// Opens the connection and prepares it for use.
[[nodiscard]] PgConnection::Outcome open(PgConnection &connection, const QString &conninfo,
                                         Use use);

} // namespace StoreSchema
