#!/bin/sh
# One owner per table: the SQL texts and the column names of the five tables and the reading
# tables are written in src/db (the connection and the supplied database's schema) and in the
# stores only. Everything else names a column through a store's constant or typed call.
# Tests and benchmarks build their own fixtures and are not read. Usage: check-stores.sh [source
# root]. Prints each stray literal and fails when there is one.
root=${1:-$(dirname "$0")/../..}
cd "$root" || exit 2

columns='InstrumentID|DateID|TypeID|SensorType|SensorNo|Family|Model|numgauges|LengthLongG|LengthShortG|boltkfactor|ElasticLimit|PerfectPlasticLimit|UltimateStrength|Elongation|PaddleLocation[123]|Level|Location|Borehole|InstallDate|InstallBy|Purpose|Notes|Destroyed|DestructionDate|HeadLocation|LengthofCable'
columns="$columns"'|NumChannels|TempChannel|Temp|lblNotes|templow|temphigh|lowval|highval'
columns="$columns"'|MineID|MaxY|MinY|MinX|MaxX|SensorID|MasterID|SlaveID|SlotID|TimeConfig'
columns="$columns"'|sensordata|DateTimeKey|ReadingDate|ReadingTime|ChannelT|Channel[0-9]+|Plottemporal|PlotSpatial|FullDate|zero[0-9]+|NumTemp|Load[1235]|IsDirty'
statements='SELECT |INSERT INTO|DELETE FROM|UPDATE |CREATE (TABLE|INDEX)|DROP TABLE|ALTER TABLE| WHERE |ORDER BY|PRAGMA |VACUUM'

# Captions the user reads that spell a column's name (grid headings, a group box, a design name).
captions='
src/ui/FrmRockvista.cpp:"Notes"
src/ui/FrmRockvista.cpp:"lblNotes"
src/exchange/domain/ReadoutGrid.cpp:"SensorNo"
src/exchange/domain/ReadoutGrid.cpp:"ChannelT"
src/exchange/domain/ReadoutGrid.cpp:"Channel[1-6]"
src/readings/domain/DatasheetGrid.cpp:"ReadingDate"
src/readings/domain/DatasheetGrid.cpp:"ChannelT"
src/readings/domain/DatasheetGrid.cpp:"Channel[1-6]"
src/readings/domain/DatasheetGrid.cpp:"PlotSpatial"
src/monitoring/domain/BoltStatus.cpp:"Destroyed"
src/monitoring/domain/SiteOverview.cpp:"Level"
src/monitoring/domain/SiteOverview.cpp:"Location"'

owners='^(src/db/|src/readings/domain/ReadingStore\.|src/readings/domain/SeriesStore\.|src/sensors/domain/SensorStore\.)'
files=$(find src tools -name '*.cpp' -o -name '*.h' | sort | grep -Ev "$owners")

# Comments may name a column; only code counts.
code() { sed 's://.*$::' "$1"; }

found=0
for f in $files; do
    hits=$(code "$f" | grep -noE "\"($columns)\"" | while IFS=: read -r line literal; do
        allowed=no
        for c in $captions; do
            case "$c" in "$f":*) echo "$literal" | grep -qxE "${c#"$f":}" && allowed=yes ;; esac
        done
        [ "$allowed" = no ] && echo "$f:$line: column name $literal"
    done)
    sql=$(code "$f" | grep -nE "\"[^\"]*($statements)" | sed "s|^\([0-9]*\):.*|$f:\1: SQL text|")
    for h in "$hits" "$sql"; do
        [ -n "$h" ] && { echo "$h"; found=1; }
    done
done
[ "$found" = 0 ] || { echo "Move these into the stores (src/readings/domain/ReadingStore, SeriesStore, src/sensors/domain/SensorStore)."; exit 1; }
echo "Column names and SQL texts: only in src/db and the stores."
