#include "app/HelpPanel.h"

#include "exchange/domain/ExchangeNames.h"
#include "ui/FrmRockvista.h"
#include "ui/FrmSplash.h"

namespace rv {

HelpPanel::HelpPanel(AppState& state, FrmRockvista& form) : m_state(state), m_form(form)
{
    connect(form.imgHelp, &ImageButton::clicked, this, &HelpPanel::imgHelp_Click);
    connect(form.Label66, &ClickLabel::clicked, this, &HelpPanel::imgHelp_Click);
    connect(form.imgInternet, &ImageButton::clicked, this, &HelpPanel::imgInternet_Click);
    connect(form.Label40, &ClickLabel::clicked, this, &HelpPanel::imgInternet_Click);
    connect(form.imgAbout, &ImageButton::clicked, this, &HelpPanel::imgAbout_Click);
    connect(form.Label29, &ClickLabel::clicked, this, &HelpPanel::imgAbout_Click);
}

// The outcome is not looked at: a missing manual or viewer leaves the program as it was.
void HelpPanel::imgHelp_Click()
{
    m_state.desktop().open(m_state.path(kManualFileName));
}

void HelpPanel::imgInternet_Click()
{
    m_state.desktop().open(kWebAddress);
}

void HelpPanel::imgAbout_Click()
{
    FrmSplash splash(&m_form);
    splash.exec();
}

} // namespace rv
