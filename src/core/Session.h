#pragma once
// The connection and the record sets that read through it: opened, closed and replaced as one
// unit. Record sets always go before the connection they read, so that none outlives it.
#include "db/Database.h"
#include "db/RecordSet.h"

#include <memory>

namespace rv {

struct Session {
    std::unique_ptr<Database> db;
    std::unique_ptr<RecordSet> sensors;   // the register; its current row is the current sensor
    std::unique_ptr<RecordSet> types;     // Configuration, positioned on the current sensor's type
    std::unique_ptr<RecordSet> prefs;
    std::unique_ptr<RecordSet> readings;  // the current sensor's readings, oldest first

    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() { closeSession(); }

    bool sessionOpen() const { return db != nullptr; }
    // Every record set, then the connection.
    void closeSession()
    {
        readings.reset();
        sensors.reset();
        types.reset();
        prefs.reset();
        db.reset();
    }
};

} // namespace rv
