#include "widgets/GdipButton.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

CGdipButton::CGdipButton(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // the face covers every pixel
    setFocusPolicy(Qt::StrongFocus);
}

CGdipButton::~CGdipButton() = default;

bool CGdipButton::LoadImages(int normalId, int hotId) {
    m_pNormalImage = std::make_unique<CGdiPlusBitmapResource>();
    const bool bNormal = m_pNormalImage->LoadFromResource(normalId, "PNG");
    m_pHotImage = std::make_unique<CGdiPlusBitmapResource>();
    const bool bHot = m_pHotImage->LoadFromResource(hotId, "PNG");
    m_bPrepared = false;
    update();
    return bNormal && bHot;
}

CGdipButton::Face CGdipButton::ShownFace() const {
    if (isDown()) return Face::Pressed;
    return m_bHover ? Face::Hot : Face::Normal;
}

namespace {

/// The size a picture covers on `widget`: its own dots per metre against the
/// screen's, so a dense picture is shown smaller, never stretched.
QSizeF PhysicalSize(const QImage& picture, const QWidget* widget) {
    const double scaleX = picture.dotsPerMeterX() > 0
                              ? widget->logicalDpiX() / 0.0254 / picture.dotsPerMeterX()
                              : 1.0;
    const double scaleY = picture.dotsPerMeterY() > 0
                              ? widget->logicalDpiY() / 0.0254 / picture.dotsPerMeterY()
                              : 1.0;
    return QSizeF(picture.width() * scaleX, picture.height() * scaleY);
}

bool IsEnterKey(const QKeyEvent* event) {
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
           (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

/// Hands a key event to `handle`, Enter as Space (pressed face, click on
/// release), so that Enter presses the button as Space does.
template <typename Handler>
void WithEnterAsSpace(QKeyEvent* event, Handler handle) {
    if (!IsEnterKey(event)) return handle(event);
    QKeyEvent space(event->type(), Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "),
                    event->isAutoRepeat());
    handle(&space);
    event->setAccepted(space.isAccepted());
}

}  // namespace

QPixmap CGdipButton::Compose(const CGdiPlusBitmap* image) const {
    QPixmap face = m_dcBackground;
    if (!image || !image->IsLoaded()) return face;
    const QImage& picture = image->Image();
    // The picture keeps its physical size, cut at the button's edges.
    const QSizeF target = PhysicalSize(picture, this);
    QPainter painter(&face);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipRect(QRect(QPoint(0, 0), size()));
    painter.drawImage(QRectF(QPointF(0, 0), target), picture);
    return face;
}

void CGdipButton::PrepareFaces() {
    if ((m_bPrepared && m_preparedSize == size()) || !m_pNormalImage) return;
    // One snapshot of the parent behind the button (its background only: the
    // siblings and this button are not drawn into it).
    const qreal ratio = devicePixelRatioF();
    m_dcBackground = QPixmap(size() * ratio);
    m_dcBackground.setDevicePixelRatio(ratio);
    m_dcBackground.fill(palette().color(QPalette::Window));
    if (QWidget* parent = parentWidget()) {
        parent->render(&m_dcBackground, QPoint(), QRegion(geometry()),
                       QWidget::DrawWindowBackground);
    }
    m_dcNormal = Compose(m_pNormalImage.get());
    m_dcPressed = Compose(m_pHotImage.get());
    m_dcHot = m_dcPressed;  // hot and pressed look the same
    m_preparedSize = size();
    m_bPrepared = true;
}

void CGdipButton::paintEvent(QPaintEvent*) {
    PrepareFaces();
    if (!m_bPrepared) return;  // no normal picture: nothing to show
    QPainter painter(this);
    switch (ShownFace()) {
        case Face::Pressed:
            painter.drawPixmap(0, 0, m_dcPressed);
            break;
        case Face::Hot:
            painter.drawPixmap(0, 0, m_dcHot);
            break;
        case Face::Normal:
            painter.drawPixmap(0, 0, m_dcNormal);
            break;
    }
    if (hasFocus()) PaintFocusMark(painter);
}

QRect CGdipButton::PictureRect() const {
    QRect area = rect();
    if (m_pNormalImage && m_pNormalImage->IsLoaded()) {
        area &= QRect(QPoint(0, 0), PhysicalSize(m_pNormalImage->Image(), this).toSize());
    }
    return area;
}

void CGdipButton::PaintFocusMark(QPainter& painter) const {
    // A dotted frame inside the picture's face, clear of its soft shadow.
    const QRect mark = PictureRect().adjusted(3, 3, -5, -5);
    if (mark.width() < 4 || mark.height() < 4) return;
    painter.setPen(QPen(QColor(40, 40, 40), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(mark);
}

void CGdipButton::keyPressEvent(QKeyEvent* event) {
    WithEnterAsSpace(event, [this](QKeyEvent* e) { QAbstractButton::keyPressEvent(e); });
}

void CGdipButton::keyReleaseEvent(QKeyEvent* event) {
    WithEnterAsSpace(event, [this](QKeyEvent* e) { QAbstractButton::keyReleaseEvent(e); });
}

void CGdipButton::enterEvent(QEnterEvent* event) {
    m_bHover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CGdipButton::leaveEvent(QEvent* event) {
    m_bHover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CGdipButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // A quick second click is a second press, so it gives a second click.
    mousePressEvent(event);
}
