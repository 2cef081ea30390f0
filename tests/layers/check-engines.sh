#!/bin/sh
# The engines' C APIs (SQLite's, libpq's) are called in src/db only: above it the code cannot tell
# which engine it has. Tests and benchmarks (bare baselines) are not read. Usage: check-engines.sh
# [source root]. Prints each stray use and fails when there is one.
root=${1:-$(dirname "$0")/../..}
cd "$root" || exit 2
hits=$(find src tools -name '*.cpp' -o -name '*.h' | grep -v '^src/db/' | sort \
       | xargs grep -nE '#include <(sqlite3|libpq-fe)\.h>|\<sqlite3_[a-z_0-9]+ *\(|\<PQ[a-zA-Z]+ *\(|\<PGconn\>|\<PGresult\>')
[ -z "$hits" ] || { echo "$hits"; echo "Only src/db may call SQLite or libpq."; exit 1; }
echo "SQLite and libpq: only in src/db."
