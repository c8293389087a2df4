#pragma once

#include <QPointer>
#include <QWidget>

/// A pane that holds one control and keeps it filling the whole pane.
class CFillPane : public QWidget {
    Q_OBJECT

  public:
    explicit CFillPane(QWidget* parent = nullptr) : QWidget(parent) {}

    /// Makes `control` (a child of this pane) the control that fills it.
    void SetPaneControl(QWidget* control) {
        m_pControl = control;
        if (control) control->setGeometry(0, 0, width(), height());
    }
    QWidget* PaneControl() const { return m_pControl; }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (m_pControl) m_pControl->setGeometry(0, 0, width(), height());
    }

  private:
    QPointer<QWidget> m_pControl;
};
