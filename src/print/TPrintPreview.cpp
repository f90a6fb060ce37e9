#include "print/TPrintPreview.h"

#include "platform/Exception.h"
#include "platform/ExceptionGuard.h"
#include "print/TPaperPreview.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>

namespace pw::print {

namespace {
constexpr int kGap = 6; // the sheet keeps this many pixels from each side of the panel
} // namespace

TPrintPreview::TPrintPreview(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("PrintPreview1"));
    setFocusPolicy(Qt::StrongFocus);
    setFont(QFont(QStringLiteral("Arial"), 20));
    hbar_ = new QScrollBar(Qt::Horizontal, this);
    vbar_ = new QScrollBar(Qt::Vertical, this);
    for (QScrollBar* bar : {hbar_, vbar_}) {
        bar->setSingleStep(8);
        bar->setFocusPolicy(Qt::NoFocus);
        bar->setRange(0, 0);
        bar->hide();
    }
    panel_ = new QWidget(this);
    panel_->setObjectName(QStringLiteral("PreviewPanel"));
    paper_ = new TPaperPreview(panel_);
    paper_->hide();
    paper_->OnPaint = [this](QPainter& canvas, const QRect& pageRect) { PaintPage(canvas, pageRect); };
    connect(hbar_, &QScrollBar::valueChanged, this,
            [this](int pos) { platform::Guarded([&] { paper_->move(kGap - pos, paper_->y()); }); });
    connect(vbar_, &QScrollBar::valueChanged, this,
            [this](int pos) { platform::Guarded([&] { paper_->move(paper_->x(), kGap - pos); }); });
    UpdateResolution();
    Layout();
}

TPrintPreview::~TPrintPreview()
{
    destroying_ = true;
    Clear();
}

void TPrintPreview::UpdateResolution()
{
    if (usePrinterRes_ && printer_ && printer_->printerState() != QPrinter::Active) {
        printer_->setPageOrientation(orientation_ == TPrinterOrientation::Portrait ? QPageLayout::Portrait
                                                                                   : QPageLayout::Landscape);
        hres_ = printer_->logicalDpiX();
        vres_ = printer_->logicalDpiY();
    } else {
        hres_ = vres_ = resolution_;
    }
    paperPixelsW_ = ConvertUnits(paperWidth_, hres_, units_, TUnits::mmPixel);
    paperPixelsH_ = ConvertUnits(paperHeight_, vres_, units_, TUnits::mmPixel);
}

void TPrintPreview::SetResulotion(int dpi)
{
    if (dpi == resolution_ || dpi <= 0)
        return;
    resolution_ = dpi;
    if (!usePrinterRes_) {
        UpdateResolution();
        Layout();
    }
}

void TPrintPreview::SetUsePrinterRes(bool on)
{
    if (on == usePrinterRes_)
        return;
    usePrinterRes_ = on;
    UpdateResolution();
    Layout();
}

void TPrintPreview::SetZoomState(TZoomState state)
{
    if (state == zoomState_)
        return;
    zoomState_ = state;
    Layout();
}

void TPrintPreview::SetZoom(int percent)
{
    if (percent == zoom_ && zoomState_ == TZoomState::zsZoomOther)
        return;
    zoom_ = percent;
    zoomState_ = TZoomState::zsZoomOther;
    Layout();
}

void TPrintPreview::SetPaperWidth(int v)
{
    if (v == paperWidth_)
        return;
    paperWidth_ = v;
    UpdateResolution();
    Layout();
}

void TPrintPreview::SetPaperHeight(int v)
{
    if (v == paperHeight_)
        return;
    paperHeight_ = v;
    UpdateResolution();
    Layout();
}

void TPrintPreview::SetOrientation(TPrinterOrientation o)
{
    if (recording_ || o == orientation_)
        return;
    orientation_ = o;
    std::swap(paperWidth_, paperHeight_);
    UpdateResolution();
    Layout();
}

void TPrintPreview::SetUnits(TUnits units)
{
    if (units == units_)
        return;
    const auto h = [&](int v) { return ConvertUnits(v, hres_, units_, units); };
    const auto v = [&](int x) { return ConvertUnits(x, vres_, units_, units); };
    minMargin_ = h(minMargin_);
    marginLeft_ = h(marginLeft_);
    marginRight_ = h(marginRight_);
    marginTop_ = v(marginTop_);
    marginBottom_ = v(marginBottom_);
    paperWidth_ = h(paperWidth_);
    paperHeight_ = v(paperHeight_);
    QFont f = font();
    if (f.pointSize() > 0)
        f.setPointSize(std::max(1, v(f.pointSize())));
    setFont(f);
    if (canvas_) {
        QFont cf = canvas_->font();
        if (cf.pointSize() > 0)
            cf.setPointSize(std::max(1, v(cf.pointSize())));
        canvas_->setFont(cf);
        QPen pen = canvas_->pen();
        pen.setWidth(h(pen.width()));
        canvas_->setPen(pen);
    }
    units_ = units;
    UpdateResolution();
    Layout();
}

void TPrintPreview::BeginDoc()
{
    if (recording_)
        return;
    Clear();
    UpdateResolution();
    recording_ = true;
    if (OnBeginDoc)
        OnBeginDoc();
    NewPage();
}

void TPrintPreview::ClosePage()
{
    if (!canvas_)
        return;
    canvas_->end();
    canvas_.reset();
    pages_.push_back(std::move(*recorded_));
    recorded_.reset();
}

void TPrintPreview::ShowFirstPage()
{
    if (currentPage_ == 0) {
        currentPage_ = 1;
        paper_->show();
        paper_->update();
    }
    Changed();
}

void TPrintPreview::NewPage()
{
    if (!recording_)
        return;
    if (canvas_) {
        ClosePage();
        ShowFirstPage();
    }
    // One logical unit is one unit of Units on the page.
    recorded_ = std::make_unique<QPicture>();
    recorded_->setBoundingRect(QRect(0, 0, paperWidth_, paperHeight_));
    canvas_ = std::make_unique<QPainter>();
    if (!canvas_->begin(recorded_.get())) {
        canvas_.reset();
        recorded_.reset();
        throw platform::Exception(QStringLiteral("Not enough memory to create a new page"));
    }
    canvas_->setFont(font());
    if (OnNewPage)
        OnNewPage();
}

void TPrintPreview::EndDoc()
{
    if (!recording_)
        return;
    ClosePage();
    ShowFirstPage();
    if (OnEndDoc)
        OnEndDoc();
    recording_ = false;
}

void TPrintPreview::Clear()
{
    if (canvas_)
        canvas_->end();
    canvas_.reset();
    recorded_.reset();
    pages_.clear();
    recording_ = false;
    currentPage_ = 0;
    if (destroying_)
        return;
    paper_->hide();
    Changed();
}

void TPrintPreview::SetCurrentPage(int page)
{
    if (pages_.empty())
        return;
    page = std::clamp(page, 1, PageCount());
    if (page == currentPage_)
        return;
    currentPage_ = page;
    paper_->update();
    Changed();
}

void TPrintPreview::Changed()
{
    if (OnChange)
        OnChange();
}

void TPrintPreview::PaintPage(QPainter& canvas, const QRect& pageRect)
{
    if (currentPage_ < 1 || currentPage_ > PageCount() || paperWidth_ <= 0 || paperHeight_ <= 0)
        return;
    canvas.translate(pageRect.topLeft());
    canvas.scale(double(pageRect.width()) / paperWidth_, double(pageRect.height()) / paperHeight_);
    canvas.setRenderHint(QPainter::SmoothPixmapTransform);
    pages_[static_cast<std::size_t>(currentPage_ - 1)].play(&canvas);
}

void TPrintPreview::PlaceSheet(bool hasHBar, bool hasVBar, int& hMax, int& vMax)
{
    const int panelW = width() - (hasVBar ? vbar_->sizeHint().width() : 0);
    const int panelH = height() - (hasHBar ? hbar_->sizeHint().height() : 0);
    panel_->setGeometry(0, 0, std::max(0, panelW), std::max(0, panelH));

    const int extra = 2 * paper_->BorderSize() + paper_->ShadowSize();
    int w = 0;
    int h = 0;
    const auto toWidth = [&] {
        w = std::max(0, panelW - 2 * kGap - extra);
        h = MulDiv(w, paperPixelsH_, paperPixelsW_);
    };
    const auto toHeight = [&] {
        h = std::max(0, panelH - 2 * kGap - extra);
        w = MulDiv(h, paperPixelsW_, paperPixelsH_);
    };
    switch (zoomState_) {
    case TZoomState::zsZoomOther:
        w = MulDiv(paperPixelsW_, paper_->logicalDpiX() * zoom_, hres_ * 100);
        h = MulDiv(paperPixelsH_, paper_->logicalDpiY() * zoom_, vres_ * 100);
        break;
    case TZoomState::zsZoomToWidth:
        toWidth();
        break;
    case TZoomState::zsZoomToHeight:
        toHeight();
        break;
    case TZoomState::zsZoomToFit:
        if (panelW > 0 && paperPixelsW_ > 0 &&
            double(panelH) / panelW > double(paperPixelsH_) / paperPixelsW_)
            toWidth();
        else
            toHeight();
        break;
    }
    const QSize sheet = paper_->ControlSize(std::max(0, w), std::max(0, h));
    paper_->resize(sheet);

    int left = kGap;
    int top = kGap;
    hMax = vMax = 0;
    if (sheet.width() < panelW - 2 * kGap)
        left = (panelW - sheet.width()) / 2;
    else
        hMax = sheet.width() - panelW + 2 * kGap;
    if (sheet.height() < panelH - 2 * kGap)
        top = (panelH - sheet.height()) / 2;
    else
        vMax = sheet.height() - panelH + 2 * kGap;
    paper_->move(left, top);
}

void TPrintPreview::Layout()
{
    for (QScrollBar* bar : {hbar_, vbar_}) {
        const QSignalBlocker quiet(bar);
        bar->setRange(0, 0);
        bar->setValue(0);
    }
    // A shown scroll bar makes the panel smaller, which may call for the other bar:
    // place again until the bars stay as they are.
    bool hasH = false;
    bool hasV = false;
    int hMax = 0;
    int vMax = 0;
    for (int pass = 0; pass < 3; ++pass) {
        PlaceSheet(hasH, hasV, hMax, vMax);
        if ((hMax != 0) == hasH && (vMax != 0) == hasV)
            break;
        hasH = hMax != 0;
        hasV = vMax != 0;
    }
    hbar_->setRange(0, hMax);
    vbar_->setRange(0, vMax);
    const int barW = vbar_->sizeHint().width();
    const int barH = hbar_->sizeHint().height();
    hbar_->setGeometry(0, height() - barH, width() - (vMax != 0 ? barW : 0), barH);
    vbar_->setGeometry(width() - barW, 0, barW, height() - (hMax != 0 ? barH : 0));
    hbar_->setVisible(hMax != 0);
    vbar_->setVisible(vMax != 0);
    hbar_->setPageStep(std::max(1, panel_->width()));
    vbar_->setPageStep(std::max(1, panel_->height()));
    paper_->update();
}

void TPrintPreview::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    platform::Guarded([this] { Layout(); });
}

void TPrintPreview::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    // The screen's settings changed: the resolution may have with them.
    if (event->type() == QEvent::ScreenChangeInternal || event->type() == QEvent::ApplicationFontChange)
        platform::Guarded([this] {
            UpdateResolution();
            Layout();
        });
}

void TPrintPreview::keyPressEvent(QKeyEvent* event)
{
    platform::Guarded([&] {
        const auto mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        const bool none = mods == Qt::NoModifier;
        const bool ctrl = mods == Qt::ControlModifier;
        const auto step = [&](QScrollBar* bar, int sign) {
            bar->setValue(bar->value() + sign * (ctrl ? bar->pageStep() : bar->singleStep()));
        };
        switch (event->key()) {
        case Qt::Key_Home:
            if (none || ctrl)
                (ctrl ? vbar_ : hbar_)->setValue((ctrl ? vbar_ : hbar_)->minimum());
            break;
        case Qt::Key_End:
            if (none || ctrl)
                (ctrl ? vbar_ : hbar_)->setValue((ctrl ? vbar_ : hbar_)->maximum());
            break;
        case Qt::Key_Left:
            if (none || ctrl)
                step(hbar_, +1);
            break;
        case Qt::Key_Right:
            if (none || ctrl)
                step(hbar_, -1);
            break;
        case Qt::Key_Up:
            if (none || ctrl)
                step(vbar_, -1);
            break;
        case Qt::Key_Down:
            if (none || ctrl)
                step(vbar_, +1);
            break;
        case Qt::Key_PageDown:
            if (none)
                SetCurrentPage(currentPage_ + 1);
            else if (ctrl)
                SetCurrentPage(PageCount());
            break;
        case Qt::Key_PageUp:
            if (none)
                SetCurrentPage(currentPage_ - 1);
            else if (ctrl)
                SetCurrentPage(1);
            break;
        default:
            break;
        }
    });
    QFrame::keyPressEvent(event);
}

} // namespace pw::print
