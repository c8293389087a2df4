#include "widgets/XProgressCtrl.h"

#include <QImage>
#include <QPainter>
#include <algorithm>

CXProgressCtrl::CXProgressCtrl(QWidget* parent) : QProgressBar(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // the background is never erased
    // The bar shows a percentage (painted here, not by the style): with the
    // percent format QProgressBar repaints once the value has moved by a
    // percent or a chunk, not on every step of a long transfer.
    setTextVisible(true);
    setFormat(QStringLiteral("%p%"));
}

double CXProgressCtrl::Fraction() const {
    const double lower = minimum();
    const double upper = maximum();
    if (upper <= lower) return 0.0;
    // A reset bar reports a value below the range; show it as empty.
    return std::clamp((value() - lower) / (upper - lower), 0.0, 1.0);
}

QString CXProgressCtrl::PaintedText() const {
    QString text = m_strText;
    if (m_bPercent) text += QString::asprintf("%d%% ", int(Fraction() * 100.0 + 0.5));
    return text;
}

void CXProgressCtrl::paintEvent(QPaintEvent* event) {
    // The base notes the value it painted, which is what lets setValue() skip
    // repaints that would change nothing; everything is painted over below.
    QProgressBar::paintEvent(event);
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    QPainter p(&image);
    p.setFont(parentWidget() ? parentWidget()->font() : font());

    // A flat sunken edge: the shadow line outside, the face line inside.
    const QRect client = rect();
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(client.adjusted(0, 0, -1, -1));
    p.setPen(palette().color(QPalette::Button));
    p.drawRect(client.adjusted(1, 1, -2, -2));

    const QRect inner = client.adjusted(2, 2, -2, -2);
    p.fillRect(inner, m_clrBack);

    const QString text = PaintedText();
    const QFontMetrics metrics = p.fontMetrics();
    const int tw = metrics.horizontalAdvance(text);
    const int th = metrics.height();
    const int left = inner.left();
    const int right = inner.left() + inner.width();
    int x = left + (right - tw - left) / 2;
    if (m_nAlign == 0) x = left;
    if (m_nAlign == 2) x = right - tw;
    const int y = inner.top() + (inner.height() - th) / 2;

    const QRect done(left, inner.top(), int(inner.width() * Fraction()), inner.height());
    p.fillRect(done, m_clrBar);
    const QRect textBox(x, y, tw, th);
    p.setPen(m_clrText);
    p.drawText(textBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
    p.setClipRect(done);
    p.setPen(m_clrTextOnBar);
    p.drawText(textBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
    p.end();

    QPainter(this).drawImage(0, 0, image);
}
