#!/bin/sh
# Builds the server in Release and runs it in the foreground on port 10000 over a fresh demo database
# (build-demo/demo.db, made from tests/data/schema.sql and demo/sample.sql; /etc/asterisk is never touched).
# The administrator is the built-in trivx / trivx (-u); extensions log in as e.g. 201 / pass201.
# Console logging at INFO. Ctrl-C stops the server cleanly.
set -eu
cd "$(dirname "$0")/.."
./scripts/deps.sh

BUILD=build-demo
DATABASE=$BUILD/demo.db
PORT=10000

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DPELBRIN_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target PelbrinSrv

# Fresh on every start, so the demo always begins from the same data.
rm -f "$DATABASE"
sqlite3 "$DATABASE" < tests/data/schema.sql
sqlite3 "$DATABASE" < demo/sample.sql

URL="http://127.0.0.1:$PORT/Pelbrin"
NOBODY='"auth":{"name":"","pass":"","admin":false}'
ADMIN='"auth":{"name":"trivx","pass":"trivx","admin":true}'
USER201='"auth":{"name":"201","pass":"pass201","admin":false}'
cat <<EXAMPLES

Demo database: $DATABASE
Try, from another terminal:
  curl -s '$URL'
  curl -s '$URL' --data-urlencode 'request={"request":"ECHO","arg":{"value":"hello"},$NOBODY}'
  curl -s '$URL' --data-urlencode 'request={"request":"GET_VERSION","arg":null,$NOBODY}'
  curl -s '$URL' --data-urlencode 'request={"request":"LOGIN","arg":null,$ADMIN}'
  curl -s '$URL' --data-urlencode 'request={"request":"GET_SETTINGS","arg":null,$USER201}'
  curl -s -G '$URL' --data-urlencode 'request={"request":"GET_HELP","arg":{"language":"pl"},$USER201}'
Stop the server with Ctrl-C.

EXAMPLES
exec "$BUILD/PelbrinSrv/PelbrinSrv" -d "$DATABASE" -p "$PORT" -u -k -l 2
