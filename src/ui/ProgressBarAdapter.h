#pragma once

#include "widgets/XProgressCtrl.h"
#include "workflows/Download.h"

/// The Download pane's progress bar as the download workflow drives it.
class CProgressBarAdapter : public velnor::ProgressBar {
  public:
    explicit CProgressBarAdapter(CXProgressCtrl& bar) : m_bar(bar) {}

    void SetRange(int nLower, int nUpper) override { m_bar.setRange(nLower, nUpper); }
    int Lower() const override { return m_bar.minimum(); }
    int Upper() const override { return m_bar.maximum(); }
    void SetStep(int nStep) override { m_nStep = nStep; }
    void StepIt() override { m_bar.setValue(m_bar.value() + m_nStep); }
    void SetPos(int nPos) override { m_bar.setValue(nPos); }
    int GetPos() const override { return m_bar.value(); }
    void Show() override { m_bar.show(); }
    void Hide() override { m_bar.hide(); }

  private:
    CXProgressCtrl& m_bar;
    int m_nStep = 1;
};
