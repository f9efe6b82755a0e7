// The drawing surface every custom-drawn window owns: a back buffer at the widget's size and
// device pixel ratio. Device contexts draw on it at any time (not only while painting); the
// widget's paint event only presents it. Colours are drawn as 32-bit RGB.
#pragma once

#include <QImage>
#include <QRect>
#include <functional>

class CSurface {
public:
    CSurface() = default;

    // Logical size in device-independent pixels; the image holds size * ratio pixels.
    void Resize(int width, int height, qreal ratio = 1.0)
    {
        const QSize physical(qMax(1, qRound(width * ratio)), qMax(1, qRound(height * ratio)));
        if (image_.size() == physical && image_.devicePixelRatio() == ratio)
            return;
        QImage next(physical, QImage::Format_RGB32);
        next.fill(Qt::white);
        if (!image_.isNull()) {
            // Keep what was drawn where it still fits, as a window's client area does.
            for (int y = 0; y < qMin(image_.height(), next.height()); ++y)
                memcpy(next.scanLine(y), image_.constScanLine(y),
                       size_t(qMin(image_.width(), next.width())) * 4);
        }
        next.setDevicePixelRatio(ratio);
        image_ = std::move(next);
    }

    QImage& Image() { return image_; }
    const QImage& Image() const { return image_; }
    int Width() const { return image_.isNull() ? 0 : qRound(image_.width() / image_.devicePixelRatio()); }
    int Height() const { return image_.isNull() ? 0 : qRound(image_.height() / image_.devicePixelRatio()); }

    // Called by device contexts after drawing, with the logical rectangle touched
    // (an empty rectangle means everything); the owning window schedules a repaint.
    void Changed(const QRect& logical = QRect())
    {
        if (onChanged)
            onChanged(logical);
    }

    std::function<void(const QRect&)> onChanged;

private:
    QImage image_;
};
