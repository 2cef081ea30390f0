#include "core/Tables.h"

#include "db/Schema.h"

namespace rv {

bool TableExists(const AppState& state, const QString& tableName)
{
    bool found = false;
    trap(state, " Module1_TableExists", [&] { found = state.db->tableExists(tableName); });
    return found;
}

DataTableChoice askDataTable(const AppState& state, const QString& instrumentId)
{
    if (!TableExists(state, instrumentId))
        return DataTableChoice::Create;
    state.dialogs().message(QStringLiteral("Table ") + instrumentId + QStringLiteral(" Already Exists"));
    const Answer a = state.dialogs().question(
        QStringLiteral("Table ") + instrumentId + QStringLiteral(" already exists\nDo you want to overwrite this table?"),
        QStringLiteral("Kelderan's ROCKVISTA"), Icon::None, Buttons::YesNo, Answer::No);
    return a == Answer::Yes ? DataTableChoice::Overwrite : DataTableChoice::Keep;
}

void AddDataTable(AppState& state, const QString& name)
{
    AddDataTable(state, name, askDataTable(state, name));
}

void AddDataTable(AppState& state, const QString& name, DataTableChoice choice)
{
    trap(state, " Module1_AddDataTable", [&] {
        switch (choice) {
        case DataTableChoice::Keep:
            return;
        case DataTableChoice::Overwrite: {
            Transaction tx(*state.db);
            dropReadingTable(*state.db, name);
            createReadingTable(*state.db, name);
            tx.commit();
            return;
        }
        case DataTableChoice::Create:
            createReadingTable(*state.db, name);
            return;
        }
    });
}

} // namespace rv
