// SPDX-License-Identifier: Apache-2.0
#include "usage.h"

namespace rdx {

const char *const kUsage =
    "Usage: rdx copy SOURCE TARGET [options]\n"
    "       rdx --help | --version\n"
    "\n"
    "Copies the records of SOURCE into TARGET; `rdx copy --help` tells how.\n";

const char *const kCopyUsage =
    "Usage: rdx copy SOURCE TARGET [options]\n"
    "\n"
    "SOURCE and TARGET take these forms:\n"
    "  FILE.csv | csv:PATH\n"
    "  FILE.jsonl | FILE.ndjson[.gz] | jsonl:PATH\n"
    "  sqlite:FILE#TABLE | sqlite:FILE --table TABLE\n"
    "  postgresql://...#TABLE | postgres://...#TABLE\n"
    "  'host=... dbname=...' --table TABLE\n"
    "  mariadb://...#TABLE | mysql://...#TABLE\n"
    "  odbc:DSN#TABLE | odbc:DSN --table TABLE\n"
    "\n"
    "Options:\n"
    "  --table T          the table of a SQL end that names none\n"
    "  --select SQL       what a SQL source reads (default: its whole table)\n"
    "  --batch N          records per batch, committed together\n"
    "  --on-error stop|skip\n"
    "  --rejects PATH     with --on-error skip: the file of skipped records\n"
    "  --columns SPEC     the columns of a CSV or JSON Lines source, e.g. id:int,name:text\n"
    "  --delimiter C      the delimiter of the CSV files\n"
    "  --charset NAME     the character set of the CSV files\n"
    "  --mode create|append|replace|truncate|upsert|delete-insert\n"
    "                     what the copy does to the target table\n"
    "  --key COLUMNS      the key an upsert or delete-insert merges by, e.g. id\n"
    "  --incremental-key COLUMN\n"
    "                     copy only the records past the last run's bookmark\n"
    "  --incremental-by key|offset\n"
    "                     offset: read a CSV source on from where the last run ended\n"
    "  --key-column COLUMNS\n"
    "                     the columns that order a SQL source's records\n"
    "  --create           the same as --mode create\n"
    "  --resume           go on with a copy that stopped\n"
    "  --full-refresh     start again from nothing: an incremental copy forgets\n"
    "                     its bookmark and the target table is replaced\n"
    "  --dry-run          check and print the job, the source's fields and the\n"
    "                     target's CREATE TABLE; copy nothing\n"
    "  --save FILE        write the job file to FILE; copy nothing\n"
    "  --name NAME        the activity's name\n"
    "  --home DIR         the home (default $XDG_STATE_HOME/rdx/copy)\n"
    "\n"
    "Without --mode, a CSV file or SQLite database that does not exist yet is\n"
    "created; any other target is appended to. Exit status: 0 copied, 2 records skipped,\n"
    "1 failed, 64 usage, 128+N stopped by signal N.\n";

} // namespace rdx
