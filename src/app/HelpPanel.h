#pragma once
// The utilities tab's manual, web site and version window.
#include "core/State.h"

#include <QObject>

namespace rv {

class FrmRockvista;

class HelpPanel : public QObject {
    Q_OBJECT
public:
    HelpPanel(AppState& state, FrmRockvista& form);

    void imgHelp_Click();
    void imgInternet_Click();
    void imgAbout_Click();

private:
    AppState& m_state;
    FrmRockvista& m_form;
};

} // namespace rv
