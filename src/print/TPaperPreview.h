#pragma once

#include <QColor>
#include <QWidget>
#include <functional>

namespace pw::print {

// The sheet of paper inside the preview: a page with a border and a shadow. Its size in
// pixels is the page plus the border on both sides and the shadow.
class TPaperPreview : public QWidget {
    Q_OBJECT
public:
    explicit TPaperPreview(QWidget* parent = nullptr);

    QColor BorderColor() const { return borderColor_; }
    void SetBorderColor(const QColor& c);
    int BorderSize() const { return borderSize_; }
    void SetBorderSize(int size);
    QColor PaperColor() const { return paperColor_; }
    void SetPaperColor(const QColor& c);
    QColor ShadowColor() const { return shadowColor_; }
    void SetShadowColor(const QColor& c);
    int ShadowSize() const { return shadowSize_; }
    void SetShadowSize(int size);

    // The page's size on screen; the control is larger by the border and the shadow.
    int PaperWidth() const { return width() - 2 * borderSize_ - shadowSize_; }
    int PaperHeight() const { return height() - 2 * borderSize_ - shadowSize_; }
    void SetPaperWidth(int w);
    void SetPaperHeight(int h);
    // Control size for a page size, and the page area within the control.
    QSize ControlSize(int paperWidth, int paperHeight) const;
    QRect PageRect() const;

    std::function<void()> OnResize;
    std::function<void(QPainter& canvas, const QRect& pageRect)> OnPaint;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QColor borderColor_ = Qt::black;
    int borderSize_ = 1;
    QColor paperColor_ = Qt::white;
    QColor shadowColor_;
    int shadowSize_ = 3;
};

} // namespace pw::print
