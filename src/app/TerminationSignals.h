#pragma once
// A logout or shutdown (SIGTERM, SIGHUP, SIGINT) closes the program the way its window's close
// button does, so that the sensor and the reading on the form are saved and the lock released.
namespace rv {

class Program;

void closeOnTerminationSignals(Program& program);

} // namespace rv
