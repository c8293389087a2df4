#pragma once

#include <QColor>
#include <QProgressBar>
#include <QString>

/// A flat progress bar that carries its own percentage, centred: black over
/// the part not yet done, white over the done part. Range, value and reset
/// work as on any QProgressBar; the caller sets a range with max > min.
class CXProgressCtrl : public QProgressBar {
    Q_OBJECT

  public:
    explicit CXProgressCtrl(QWidget* parent = nullptr);

    /// The text painted: the bar's own text (none by default) and "%d%% ".
    QString PaintedText() const;

    /// The done share of the range, 0 to 1 (0 for an empty range).
    double Fraction() const;

    /// Steps the value by one, like the platform's "step it" call.
    void StepIt() { setValue(value() + 1); }

    void SetBarText(const QString& text) {
        m_strText = text;
        update();
    }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor m_clrBar{128, 128, 255};
    QColor m_clrBack{235, 235, 235};
    QColor m_clrText{0, 0, 0};
    QColor m_clrTextOnBar{255, 255, 255};
    int m_nAlign = 1;  // 0 left, 1 centre, 2 right
    bool m_bPercent = true;
    QString m_strText;
};
