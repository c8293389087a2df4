#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <memory>

#include "widgets/GdiPlusBitmapResource.h"

/// A push button that is a picture: a normal face, and a hot face (the same
/// button with its icon in red) while the mouse rests on it or while it is
/// pressed, by mouse or keyboard. The faces are composed once over a snapshot
/// of what the parent shows behind the button, drawn at the picture's own
/// physical size and cut at the button's edges; painting copies the face.
/// Tab reaches it; while it has the focus a dotted frame marks the picture,
/// and Space or Enter presses it.
class CGdipButton : public QAbstractButton {
    Q_OBJECT

  public:
    explicit CGdipButton(QWidget* parent = nullptr);
    ~CGdipButton() override;

    /// Gives the button its pictures (PNG resource numbers); the button owns
    /// both images. Both should be set before the button is first painted.
    bool LoadImages(int normalId, int hotId);

    /// Which face a paint would show now.
    enum class Face { Normal, Hot, Pressed };
    Face ShownFace() const;

    bool IsHover() const { return m_bHover; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    void PrepareFaces();
    QPixmap Compose(const CGdiPlusBitmap* image) const;
    /// Where the normal picture lands on the button, cut at its edges.
    QRect PictureRect() const;
    void PaintFocusMark(QPainter& painter) const;

    std::unique_ptr<CGdiPlusBitmapResource> m_pNormalImage;
    std::unique_ptr<CGdiPlusBitmapResource> m_pHotImage;
    QPixmap m_dcBackground;
    QPixmap m_dcNormal;
    QPixmap m_dcHot;
    QPixmap m_dcPressed;
    QSize m_preparedSize;
    bool m_bPrepared = false;
    bool m_bHover = false;
};
