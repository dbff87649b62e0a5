#pragma once

#include <sqlite3.h>

#include <string>

namespace bench {

// The schema file the tests use; the generator builds every database from it.
std::string schemaPath();

// The shape of a generated exchange database. Deterministic for a given seed.
struct DbShape {
    int extens = 1000;       // numbers "100".."1099", ids 1..1000, each with a web password
    int cdrs = 50000;        // call records spread evenly (with jitter) over 2024, one per minute at most
    int rates = 10000;       // rates with distinct keys, but for day/night pairs that share a key
    int activePercent = 88;  // share of rates that are active
    int listPercent = 15;    // share of rates restricted to two extensions (two collision records)
    int recharges = 3000;
    int rateHistory = 2000;
    unsigned seed = 20240101;
};

// Creates a new database file at path from the schema and fills it as shape says.
void generateDatabase(const std::string& path, const DbShape& shape);

// The pieces, for micro-benchmarks that need only one table filled (db holds the schema already).
void createSchema(sqlite3* db);
void fillExtens(sqlite3* db, const DbShape& shape);
void fillCdrs(sqlite3* db, const DbShape& shape);
// `records` active collision records without any collision, all in rates of their own key.
void fillActiveRates(sqlite3* db, int records, unsigned seed);

}  // namespace bench
