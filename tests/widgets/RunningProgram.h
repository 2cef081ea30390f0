#pragma once
// A fixture: the program started on the supplied database with the demo sensors, scripted
// dialogs, no desktop, a fixed clock, and its error reports going to Sink.
#include "Support.h"
#include "TestApp.h"
#include "app/Program.h"
#include "core/State.h"
#include "ui/FrmRockvista.h"

#include <memory>

namespace rv::test {

template <class Sink = CollectingSink>
class RunningProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApp();
        program = std::make_unique<Program>(folder.path(), Seams{&dialogs, &desktop, &clock});
        ASSERT_TRUE(program->load());
        state().errorSink = &sink;
    }
    void TearDown() override
    {
        if (program->window())
            program->window()->close();
    }
    AppState& state() { return program->state(); }
    FrmRockvista& form() { return *program->window(); }

    DataFolder folder{true};
    AnsweringDialogs dialogs;
    NoDesktop desktop;
    FixedClock clock;
    Sink sink;
    std::unique_ptr<Program> program;
};

} // namespace rv::test
