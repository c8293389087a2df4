#pragma once

#include <QImage>

/// Holder of one decoded picture; empty when nothing is loaded.
class CGdiPlusBitmap {
  public:
    virtual ~CGdiPlusBitmap() = default;

    bool IsLoaded() const { return !m_image.isNull(); }
    const QImage& Image() const { return m_image; }

  protected:
    QImage m_image;
};

/// A picture from the program's resources, found by its number (":/png/150").
class CGdiPlusBitmapResource : public CGdiPlusBitmap {
  public:
    /// Loads resource `id` of kind `type` ("PNG"). A missing, empty or
    /// undecodable resource leaves the object empty and returns false.
    bool LoadFromResource(int id, const char* type = "PNG");
};

/// Makes the program's compiled-in resources available; safe to call often.
void InitVelnorResources();
