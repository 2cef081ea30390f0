#include "core/Tables.h"

#include "db/Schema.h"

namespace rv {

bool TableExists(const AppState& state, const QString& tableName)
{
    bool found = false;
    trap(state, " Module1_TableExists", [&] { found = state.db->tableExists(tableName); });
    return found;
}

void AddDataTable(AppState& state)
{
    trap(state, " Module1_AddDataTable", [&] {
        const QString name = state.sensors->text(QStringLiteral("InstrumentID"));
        if (TableExists(state, name)) {
            state.dialogs().message(QStringLiteral("Table ") + name + QStringLiteral(" Already Exists"));
            const Answer a = state.dialogs().question(
                QStringLiteral("Table ") + name + QStringLiteral(" already exists\nDo you want to overwrite this table?"),
                QStringLiteral("Kelderan's ROCKVISTA"), Icon::None, Buttons::YesNo, Answer::No);
            if (a != Answer::Yes)
                return;
            Transaction tx(*state.db);
            dropReadingTable(*state.db, name);
            createReadingTable(*state.db, name);
            tx.commit();
        } else {
            createReadingTable(*state.db, name);
        }
    });
}

} // namespace rv
