#include "app/Program.h"

#include "app/Controller.h"
#include "ui/FrmRockvista.h"

namespace rv {

Program::Program(const QString& dataDir, Seams seams, QObject* parent) : Program(dataDir, QString(), seams, parent) {}

Program::Program(const QString& dataDir, const QString& database, Seams seams, QObject* parent)
    : QObject(parent), m_controller(std::make_unique<Controller>(dataDir, database, seams))
{
    connect(m_controller.get(), &Controller::finished, this, &Program::finished);
}

Program::~Program() = default;

bool Program::load() { return m_controller->Form_Load(); }
FrmRockvista* Program::window() const { return m_controller->running() ? m_controller->window() : nullptr; }
AppState& Program::state() { return m_controller->state(); }
bool Program::reopen(const std::function<void()>& whileClosed) { return m_controller->reopen(whileClosed); }
bool Program::running() const { return m_controller->running(); }
void Program::beginTermination() { m_controller->beginTermination(); }
void Program::terminate() { m_controller->terminate(); }

} // namespace rv
